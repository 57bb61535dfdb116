// The window's prompts: message boxes, questions, file dialogs and the progress window.
#include "app/progress_window.h"
#include "app/widget_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

// Acts on the next modal dialog as soon as it is up (inside its exec()).
void whenModal(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
}

QList<QWidget *> progressWindows()
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("Progress"))
            found << w;
    }
    return found;
}

} // namespace

class TestWidgetPrompts : public QObject
{
    Q_OBJECT

    QWidget m_parent;

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName(QStringLiteral("plc-config"));
        m_parent.show();
    }

    void questionIsTrueOnlyOnOk_data()
    {
        QTest::addColumn<QString>("press"); // "ok", "cancel", "escape"
        QTest::addColumn<bool>("expected");
        QTest::newRow("OK") << QStringLiteral("ok") << true;
        QTest::newRow("Cancel") << QStringLiteral("cancel") << false;
        QTest::newRow("Escape") << QStringLiteral("escape") << false;
    }
    void questionIsTrueOnlyOnOk()
    {
        QFETCH(QString, press);
        QFETCH(bool, expected);
        WidgetPrompts prompts(&m_parent);
        QString title;
        QString text;
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            if (press == QLatin1String("escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(press == QLatin1String("ok") ? QMessageBox::Ok : QMessageBox::Cancel)
                    ->click();
        });
        QCOMPARE(prompts.question(QStringLiteral("You are shure ? "), QString()), expected);
        QCOMPARE(title, QString());
        QCOMPARE(text, QStringLiteral("You are shure ? "));
    }

    void messageHasOkOnlyAndTheApplicationsTitleByDefault()
    {
        WidgetPrompts prompts(&m_parent);
        QString title;
        QMessageBox::StandardButtons buttons;
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            buttons = box->standardButtons();
            QTest::keyClick(box, Qt::Key_Return);
        });
        prompts.message(QStringLiteral("Answer timeout from PLC"));
        QCOMPARE(title, QStringLiteral("plc-config"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void fileDialogsAskWhatTheyAreTold()
    {
        QTemporaryDir dir;
        WidgetPrompts prompts(&m_parent);
        const FileChoice choice{QStringLiteral("Save configuration"),
                                {QStringLiteral("Config (*.dpc)")},
                                QStringLiteral("dpc"),
                                dir.path()};

        QFileDialog::FileMode openMode = QFileDialog::AnyFile;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            openMode = dialog->fileMode();
            dialog->reject();
        });
        QCOMPARE(prompts.chooseFileToOpen(choice), std::nullopt);
        QCOMPARE(openMode, QFileDialog::ExistingFile);

        bool asksBeforeOverwriting = false;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), choice.title);
            QCOMPARE(dialog->nameFilters(), choice.filters);
            QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            asksBeforeOverwriting = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->selectFile(QStringLiteral("plant"));
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, as its button does
        });
        const auto saved = prompts.chooseFileToSave(choice);
        QVERIFY(asksBeforeOverwriting);
        QCOMPARE(saved, std::optional<QString>(dir.filePath(QStringLiteral("plant.dpc"))));
    }

    void progressWindowExistsOnlyWhileShown()
    {
        WidgetPrompts prompts(&m_parent);
        QVERIFY(progressWindows().isEmpty());
        {
            ProgressScope progress(prompts);
            const QList<QWidget *> shown = progressWindows();
            QCOMPARE(shown.size(), 1);
            QWidget *window = shown.first();
            QVERIFY(window->isVisible());
            QCOMPARE(window->windowTitle(), QStringLiteral("Download/upload progress"));
            QCOMPARE(window->windowModality(), Qt::NonModal);
            const QList<QWidget *> children = window->findChildren<QWidget *>();
            QCOMPARE(children.size(), 1);
            auto *bar = qobject_cast<QProgressBar *>(children.first());
            QVERIFY(bar);
            QCOMPARE(bar->objectName(), QStringLiteral("ProgressBar1"));
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 100);
            progress.set(40);
            QCOMPARE(bar->value(), 40);
        }
        QVERIFY(progressWindows().isEmpty());

        // Closed by hand in the middle of a transfer: the rest of the transfer goes on.
        prompts.progressShow();
        progressWindows().first()->close();
        QTRY_VERIFY(progressWindows().isEmpty());
        prompts.progressSet(70);
        prompts.progressClose();
        QVERIFY(!prompts.progressWindow());
    }
};

QTEST_MAIN(TestWidgetPrompts)
#include "tst_widget_prompts.moc"
