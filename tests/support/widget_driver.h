#pragma once

#include "link/plc_link.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <QCoroTask>

#include <functional>
#include <memory>

// Works a window's controls by their control names, as a user would. A control that is not
// there fails the test and stands in as an empty control of the asked type, so the test goes on
// to its end instead of crashing the binary. The stand-ins live as long as the driver.
class WidgetDriver
{
public:
    explicit WidgetDriver(QWidget *root = nullptr) : m_root(root) {}
    void setRoot(QWidget *root) { m_root = root; }
    QWidget *root() const { return m_root; }

    template <class T = QWidget> T *find(const QString &name) const
    {
        T *found = m_root ? m_root->findChild<T *>(name) : nullptr;
        if (found)
            return found;
        QTest::qFail(qPrintable(QStringLiteral("no control \"%1\"").arg(name)), __FILE__, __LINE__);
        auto *standIn = new T;
        m_standIns.emplace_back(standIn);
        return standIn;
    }

    void click(const QString &name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    // On an option button's circle: a click beyond its caption does not count.
    void clickOption(const QString &name)
    {
        QWidget *option = find(name);
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    }

    // A grid's cell: clicked, double-clicked, or made current with the keyboard's focus.
    static void clickCell(QAbstractItemView *grid, int row, int column)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
    }
    static void doubleClickCell(QAbstractItemView *grid, int row, int column)
    {
        const QPoint at = cellCentre(grid, row, column);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    static QPoint cellCentre(QAbstractItemView *grid, int row, int column)
    {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }

    // Runs act on the modal dialog of type T once something the test does next has opened it,
    // then closes it if act left it open, so a failing check never leaves the test waiting. A
    // dialog that does not come within 10 s is not waited for any longer.
    template <class T> static void onModal(std::function<void(T *)> act)
    {
        auto *poll = new QTimer;
        QTimer::singleShot(10000, poll, &QObject::deleteLater);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            poll->deleteLater();
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        poll->start(5);
    }

    // Clicks the named control and runs act on the modal dialog T it opens; fails when none opens.
    template <class T>
    void clickToDialog(const QString &name, const std::function<void(T *, WidgetDriver &)> &act)
    {
        bool shown = false;
        onModal<T>([&](T *dialog) {
            shown = true;
            WidgetDriver d(dialog);
            act(dialog, d);
        });
        click(name);
        QVERIFY2(shown, T::staticMetaObject.className());
    }

private:
    QPointer<QWidget> m_root;
    mutable std::vector<std::unique_ptr<QObject>> m_standIns;
};

// Waits until the command a click started on the link has ended: its transfers are over and the
// line is drained and closed. Whatever else waited for the link (a dialog that closes once its
// command has let go of the line) has then gone on too.
inline void finish(PlcLink &link)
{
    QCoro::waitFor(link.idle());
    QCoreApplication::sendPostedEvents();
}
