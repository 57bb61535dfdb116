#pragma once

#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <QCoroTask>

#include <functional>

class CommandFeedback;
class PlcLink;
class Prompts;
class QGroupBox;
struct PortReadReport;
struct PortWriteReport;

// What the commands on a tab use of the main window: its PLC link, set.ini, its prompts, and
// where the tab's commands report how they ended (none without a window).
struct TabContext
{
    PlcLink &link;
    QString iniPath;
    Prompts &prompts;
    CommandFeedback *feedback = nullptr;
};

// One page of the main window's tab row. The window calls startUp() on every tab in tab order
// once all tabs exist, greys the tab's PLC controls while a transfer runs, and runs the tab's
// menu uploads, in tab order, for "Upload from PLC" in the PLC menu.
class MainTab : public QWidget
{
    Q_OBJECT
public:
    MainTab(const TabContext &context, const QString &objectName, QWidget *parent = nullptr);

    // The tab's own steps of the window's start-up (list defaults, grid headers, modes). They
    // touch only the tab's controls, so the tabs may run one after the other.
    virtual void startUp() {}

    // Controls that talk to the PLC: greyed while a transfer runs.
    QList<QWidget *> plcControls() const;
    // The tab's part of the menu's "Upload from PLC"; each handles its own failures and says how
    // it ended. One cut short by an abort throws TransferAborted: the rest do not run either.
    using Upload = std::function<QCoro::Task<PortReadReport>()>;
    const QList<Upload> &menuUploads() const { return m_menuUploads; }
    // How the status bar words a command cut short by an abort: "UART 1 not written: aborted".
    static QString abortedText();

protected:
    // A frame named after its control with its caption exactly as shown. It keeps its place when
    // a mode hides it, so the neighbouring frames do not jump.
    QGroupBox *makeFrame(const QString &name, const QString &caption, QSize minimum);
    // Called from the tab's constructor: the window collects them when it adds the tab.
    void addPlcControl(QWidget *control);
    // "Write to PLC" and "Upload from PLC" at the bottom of a frame's column, as PLC controls.
    void addTransferButtons(QWidget *frame, class QBoxLayout *column, const QString &writeName,
                            const QString &uploadName, const std::function<QCoro::Task<>()> &write,
                            const std::function<QCoro::Task<>()> &upload);
    // Called from the tab's constructor, like addPlcControl.
    void addMenuUpload(Upload upload);

    // A port's "Write to PLC" at the command's boundary: write fills the report, told whether to
    // verify ("Verify after write"); a verify's differences are shown, and how it ended is
    // reported.
    // A write cut short by an abort (the window closing) is reported as aborted.
    QCoro::Task<> runPortWrite(QString port,
                               std::function<QCoro::Task<>(bool verify, PortWriteReport &)> write);
    // A port's upload at the command's boundary, as its report; read fills in how it ended. An
    // abort is passed on as TransferAborted.
    QCoro::Task<PortReadReport> runPortRead(QString port,
                                            std::function<QCoro::Task<>(PortReadReport &)> read);
    // An "Upload from PLC" button: asks first whether the project may be replaced, reports.
    QCoro::Task<> runUploadButton(Upload upload);
    // Reports a command that ends in a sentence of its own.
    void reportEnded(const QString &text, bool failure = false);

    PlcLink &link() const { return m_context.link; }
    const QString &iniPath() const { return m_context.iniPath; }
    Prompts &prompts() const { return m_context.prompts; }

private:
    TabContext m_context;
    QList<QPointer<QWidget>> m_plcControls;
    QList<Upload> m_menuUploads;
};
