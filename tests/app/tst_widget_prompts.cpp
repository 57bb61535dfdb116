// The window's prompts: message boxes, questions, file dialogs and the progress window.
#include "support/widget_driver.h"
#include "widgets/progress_window.h"
#include "widgets/widget_prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestWidgetPrompts : public QObject
{
    Q_OBJECT

    QWidget m_window;

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName(QStringLiteral("plc-config"));
        m_window.show();
    }

    // A question has OK and Cancel under an empty title and is true only on OK; a message has OK
    // only, under the application's name. Both stand over the modal dialog the user is in, else
    // over the window.
    void messageBoxes_data()
    {
        QTest::addColumn<bool>("isQuestion");
        QTest::addColumn<int>("press"); // a button of the box, or a key
        QTest::addColumn<bool>("expected");
        QTest::addColumn<bool>("overADialog");
        const int ok = QMessageBox::Ok, cancel = QMessageBox::Cancel;
        QTest::newRow("question, OK") << true << ok << true << false;
        QTest::newRow("question, Cancel") << true << cancel << false << false;
        QTest::newRow("question, Escape") << true << int(Qt::Key_Escape) << false << false;
        QTest::newRow("message, Return") << false << int(Qt::Key_Return) << false << false;
        QTest::newRow("question over an open dialog") << true << ok << true << true;
        QTest::newRow("message over an open dialog") << false << ok << false << true;
    }
    void messageBoxes()
    {
        QFETCH(bool, isQuestion);
        QFETCH(int, press);
        QFETCH(bool, expected);
        QFETCH(bool, overADialog);
        WidgetPrompts prompts(&m_window);
        QDialog dialog(&m_window);
        dialog.setModal(true);
        dialog.setVisible(overADialog);
        QString title, text;
        QMessageBox::StandardButtons buttons;
        QWidget *over = nullptr;
        Qt::TextFormat format = Qt::AutoText;
        WidgetDriver::onModal<QMessageBox>([&](QMessageBox *box) {
            format = box->textFormat();
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            over = box->parentWidget();
            if (QAbstractButton *button = box->button(QMessageBox::StandardButton(press)))
                button->click();
            else
                QTest::keyClick(box, Qt::Key(press));
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
        // A text from a file that looks like markup is shown as it stands.
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(over, overADialog ? &dialog : &m_window);
    }

    void fileDialogsAskWhatTheyAreTold()
    {
        QTemporaryDir dir;
        WidgetPrompts prompts(&m_window);
        const FileChoice choice{QStringLiteral("Save configuration"),
                                {QStringLiteral("Config (*.dpc)")},
                                QStringLiteral("dpc"),
                                dir.path()};

        QFileDialog::FileMode openMode = QFileDialog::AnyFile;
        WidgetDriver::onModal<QFileDialog>([&](QFileDialog *d) { openMode = d->fileMode(); });
        QCOMPARE(prompts.chooseFileToOpen(choice), std::nullopt);
        QCOMPARE(openMode, QFileDialog::ExistingFile);

        bool asksBeforeOverwriting = false;
        WidgetDriver::onModal<QFileDialog>([&](QFileDialog *dialog) {
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
        WidgetPrompts prompts(&m_window);
        QPointer<ProgressWindow> window;
        {
            ProgressScope progress(prompts);
            window = prompts.progressWindow();
            QVERIFY(window && window->isVisible() && window->isWindow());
            QCOMPARE(window->windowTitle(), QStringLiteral("Download/upload progress"));
            auto *bar = WidgetDriver(window).find<QProgressBar>(QStringLiteral("ProgressBar1"));
            QCOMPARE(bar->maximum(), 100);
            progress.set(40);
            QCOMPARE(bar->value(), 40);
        }
        QVERIFY(!window); // gone, not just hidden

        // Closed by hand in the middle of a transfer: the rest of the transfer goes on.
        prompts.progressShow();
        window = prompts.progressWindow();
        window->close();
        QTRY_VERIFY(!window);
        prompts.progressSet(70);
        prompts.progressClose();
    }
};

QTEST_MAIN(TestWidgetPrompts)
#include "tst_widget_prompts.moc"
