#include "widgets/main_tab.h"

#include "widgets/controls.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QPushButton>

MainTab::MainTab(const TabContext &context, const QString &objectName, QWidget *parent)
    : QWidget(parent), m_context(context)
{
    setObjectName(objectName);
}

QList<QWidget *> MainTab::plcControls() const
{
    QList<QWidget *> controls;
    for (const QPointer<QWidget> &control : m_plcControls) {
        if (control)
            controls.append(control);
    }
    return controls;
}

QGroupBox *MainTab::makeFrame(const QString &name, const QString &caption, QSize minimum)
{
    auto *frame = new QGroupBox(caption, this);
    frame->setObjectName(name);
    frame->setMinimumSize(minimum);
    QSizePolicy policy = frame->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    frame->setSizePolicy(policy);
    return frame;
}

void MainTab::addPlcControl(QWidget *control)
{
    m_plcControls.append(control);
}

void MainTab::addTransferButtons(QWidget *frame, QBoxLayout *column, const QString &writeName,
                                 const QString &uploadName, const std::function<void()> &write,
                                 const std::function<void()> &upload)
{
    QPushButton *writeButton = makeButton(frame, writeName, QStringLiteral("Write to PLC"));
    QPushButton *uploadButton = makeButton(frame, uploadName, QStringLiteral("Upload from PLC"));
    connect(writeButton, &QPushButton::clicked, this, write);
    connect(uploadButton, &QPushButton::clicked, this, upload);
    addPlcControl(writeButton);
    addPlcControl(uploadButton);
    column->addStretch(1);
    column->addWidget(writeButton);
    column->addWidget(uploadButton);
}

void MainTab::addMenuUpload(std::function<void()> upload)
{
    m_menuUploads.append(std::move(upload));
}
