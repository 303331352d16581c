// The Qt host in the operator's language on the offscreen platform: the
// standard buttons of a message box from Qt's own translations, the shipped
// texts under the C locale, and the registration dialog in English and
// Spanish (screenshots under <build>/artifacts).
#include "LanguageScope.h"
#include "QtTestSupport.h"
#include "dialogs/DialogTestSupport.h"

#include "framework/PropertySheet.h"
#include "framework/UIHost.h"

#include <QCheckBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

using qttest::Control;
using qttest::SaveScreenshot;

// The button texts of one OK/Cancel message box shown in that locale.
std::pair<QString, QString> MessageBoxButtons(const char* locale)
{
    CLanguageScope scope(locale);
    std::pair<QString, QString> texts;
    qttest::CUiScript script;
    script.On("zen-messagebox", [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        texts = {box->button(QMessageBox::Ok)->text(), box->button(QMessageBox::Cancel)->text()};
        QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    });
    EXPECT_EQ(AfxMessageBox("¿Seguro?", MB_OKCANCEL), IDCANCEL) << locale;
    return texts;
}

TEST(QtLanguages, MessageBoxButtonsFollowTheLanguage)
{
    QTranslator spanish;
    ASSERT_TRUE(spanish.load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    const QString spanishOk = spanish.translate("QPlatformTheme", "OK");
    const QString spanishCancel = spanish.translate("QPlatformTheme", "Cancel");
    ASSERT_FALSE(spanishOk.isEmpty());
    ASSERT_FALSE(spanishCancel.isEmpty());

    const auto shipped = MessageBoxButtons("C.UTF-8");
    EXPECT_EQ(shipped.first, QStringLiteral("Aceptar"));
    EXPECT_EQ(shipped.second, QStringLiteral("Cancelar"));
    const auto es = MessageBoxButtons("es_ES.UTF-8");
    EXPECT_EQ(es.first, spanishOk);
    EXPECT_EQ(es.second, spanishCancel);
    EXPECT_NE(es.second, QStringLiteral("Cancel"));
    const auto en = MessageBoxButtons("en_US.UTF-8");
    EXPECT_EQ(en.first, QStringLiteral("OK"));
    EXPECT_EQ(en.second, QStringLiteral("Cancel"));
    // Back to the shipped texts once no language is chosen again.
    EXPECT_EQ(MessageBoxButtons("C.UTF-8"), shipped);
}

struct RegistrationCase {
    const char* locale;
    const char* screenshot;
    const char* caption;
    const char* workOrder;
    const char* registerButton;
    const char* cancelButton;
};

TEST(QtLanguages, RegistrationDialogInEnglishAndSpanish)
{
    dlgtest::CDialogTestBed bed;
    const RegistrationCase cases[] = {
        {"en_US.UTF-8", "dialog-13002-en", "Register sample", "Work order (50)", "Register sample", "Cancel"},
        {"es_ES.UTF-8", "dialog-13002-es", "Registrar muestra", "Orden de trabajo (50)", "Muestra de registro",
         "Cancelar"},
    };
    for (const RegistrationCase& c : cases) {
        CLanguageScope scope(c.locale);
        qttest::CUiScript script;
        script.On("dialog-13002", [&](QWidget* w) {
            EXPECT_EQ(w->windowTitle().toStdString(), c.caption);
            EXPECT_EQ(Control<QLabel>(w, 13201)->text().toStdString(), c.workOrder);
            EXPECT_EQ(Control<QAbstractButton>(w, 13058)->text().toStdString(), c.registerButton);
            EXPECT_EQ(Control<QAbstractButton>(w, IDCANCEL)->text().toStdString(), c.cancelButton);
            EXPECT_TRUE(SaveScreenshot(w, QString::fromLatin1(c.screenshot)));
            QTest::mouseClick(Control<QAbstractButton>(w, IDCANCEL), Qt::LeftButton);
        });
        CMapStringToOb presets;
        EXPECT_FALSE(bed.Facade().RegisterNewSampleByDialog(presets)) << c.locale;
    }
}

TEST(QtLanguages, SettingsSheetAndItsButtonsInTheChosenLanguage)
{
    dlgtest::CDialogTestBed bed;
    struct Case {
        const char* locale;
        const char* tab;
        const char* workOrder;
        const char* ok;
        const char* cancel;
    };
    const Case cases[] = {
        {"C.UTF-8", "Ajustes de la base de datos", "Orden de trabajo", "Aceptar", "Cancelar"},
        {"en_US.UTF-8", "Database settings", "Work order", "OK", "Cancel"},
    };
    for (const Case& c : cases) {
        CLanguageScope scope(c.locale);
        CPropertySheet sheet("ZEN");
        bed.Facade().AddSampleSettingsPage(&sheet);
        qttest::CUiScript script;
        script.On("dialog-sheet", [&](QWidget* w) {
            EXPECT_EQ(w->findChild<QTabWidget*>(QStringLiteral("tabs"))->tabText(0).toStdString(), c.tab);
            QWidget* page = w->findChild<QWidget*>(QStringLiteral("page-13003"));
            EXPECT_EQ(Control<QCheckBox>(page, 13003)->text().toStdString(), c.workOrder);
            EXPECT_EQ(Control<QAbstractButton>(w, IDOK)->text().toStdString(), c.ok);
            EXPECT_EQ(Control<QAbstractButton>(w, IDCANCEL)->text().toStdString(), c.cancel);
            if (std::string(c.locale) != "C.UTF-8") {
                EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13003-en")));
            }
            QTest::mouseClick(Control<QAbstractButton>(w, IDCANCEL), Qt::LeftButton);
        });
        EXPECT_EQ(sheet.DoModal(), IDCANCEL) << c.locale;
    }
}

} // namespace
