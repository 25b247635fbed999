// Qt's own dialogs speak the program's language: the add-file dialog's labels and the standard
// buttons come from Qt's translations for the system's language when Qt has one, in Chinese
// (as every text of the program) when it has none.

#include "TestRegistry.h"
#include "common/UiTestUtil.h"
#include "ui/UiApplication.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace vx;

class QtTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::China)); }

    void withoutATranslationOfTheSystemsLanguageQtSpeaksChinese()
    {
        for (const QLocale& system : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()})
            QCOMPARE(InstallQtTranslations(system), QStringLiteral("qtbase_zh_CN"));
        // Qt's own file dialog, as a desktop without a dialog of its own shows it.
        QFileDialog d(nullptr, QStringLiteral("添加课件"));
        d.setOption(QFileDialog::DontUseNativeDialog);
        d.setDirectory(QDir::tempPath());
        d.show();
        auto* lookIn = d.findChild<QLabel*>(QStringLiteral("lookInLabel"));
        auto* fileName = d.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
        QVERIFY(lookIn && fileName);
        QVERIFY2(!lookIn->text().contains(QStringLiteral("Look in")), qPrintable(lookIn->text()));
        QVERIFY2(!fileName->text().contains(QStringLiteral("File name")), qPrintable(fileName->text()));
        auto* buttons = d.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QVERIFY(buttons && buttons->button(QDialogButtonBox::Cancel));
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
        VX_SCREENSHOT(&d, "qt-file-dialog");
    }

    void aLanguageQtHasIsTaken()
    {
        QCOMPARE(InstallQtTranslations(QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("qtbase_de"));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QVERIFY2(box.button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("Abbrechen")),
                 qPrintable(box.button(QDialogButtonBox::Cancel)->text()));
        QCOMPARE(InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::Taiwan)),
                 QStringLiteral("qtbase_zh_TW"));
    }
};

VX_REGISTER_QTEST(QtTextsTest);

#include "QtTextsTest.moc"
