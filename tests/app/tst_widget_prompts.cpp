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

    // A question has OK and Cancel under an empty title and is true only on OK; a message has OK
    // only, under the application's name.
    void messageBoxes_data()
    {
        QTest::addColumn<bool>("isQuestion");
        QTest::addColumn<QString>("press"); // "ok", "cancel", "escape", "return"
        QTest::addColumn<bool>("expected");
        QTest::newRow("question, OK") << true << QStringLiteral("ok") << true;
        QTest::newRow("question, Cancel") << true << QStringLiteral("cancel") << false;
        QTest::newRow("question, Escape") << true << QStringLiteral("escape") << false;
        QTest::newRow("message, Return") << false << QStringLiteral("return") << false;
    }
    void messageBoxes()
    {
        QFETCH(bool, isQuestion);
        QFETCH(QString, press);
        QFETCH(bool, expected);
        WidgetPrompts prompts(&m_parent);
        QString title, text;
        QMessageBox::StandardButtons buttons;
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            if (press == QLatin1String("escape") || press == QLatin1String("return"))
                QTest::keyClick(box,
                                press == QLatin1String("escape") ? Qt::Key_Escape : Qt::Key_Return);
            else
                box->button(press == QLatin1String("ok") ? QMessageBox::Ok : QMessageBox::Cancel)
                    ->click();
        });
        const QString said = QStringLiteral("You are shure ? ");
        if (isQuestion) {
            QCOMPARE(prompts.question(said, QString()), expected);
            QCOMPARE(title, QString());
            QCOMPARE(buttons, QMessageBox::Ok | QMessageBox::Cancel);
        } else {
            prompts.message(said);
            QCOMPARE(title, QStringLiteral("plc-config"));
            QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
        QCOMPARE(text, said);
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
            QCOMPARE(progressWindows().size(), 1);
            QWidget *window = progressWindows().first();
            QVERIFY(window->isVisible());
            QCOMPARE(window->windowTitle(), QStringLiteral("Download/upload progress"));
            QCOMPARE(window->windowModality(), Qt::NonModal);
            const QList<QWidget *> children = window->findChildren<QWidget *>();
            QCOMPARE(children.size(), 1);
            auto *bar = qobject_cast<QProgressBar *>(children.first());
            QVERIFY(bar);
            QCOMPARE(bar->objectName(), QStringLiteral("ProgressBar1"));
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
