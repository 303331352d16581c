// The operator dialogs driven end to end through the Qt host on the offscreen
// platform: each opened through the facade, typed into through its real
// widgets, its real buttons pressed, and what reached the database checked.
// A screenshot of each dialog goes to <build>/artifacts.
#include "QtTestSupport.h"
#include "dialogs/DialogTestSupport.h"

#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "framework/PropertySheet.h"
#include "qt/QtUIHost.h"
#include "recordsets/SampleSearch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using qttest::Control;
using qttest::SaveScreenshot;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr)
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ASSERT_TRUE(ZenInstallQtUIHost());
    }
    void TearDown() override { ZenUninstallQtUIHost(); }
};
const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Key presses for each character; characters beyond ASCII go as key
// events that carry their text.
void KeyClicks(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80)
            QTest::keyClick(widget, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Replaces the text of a line edit by typing, as a user would.
void Type(QLineEdit* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        KeyClicks(edit, text);
}

void Click(QWidget* window, int id)
{
    auto* button = Control<QAbstractButton>(window, id);
    ASSERT_NE(button, nullptr) << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

void Answer(QWidget* window, QMessageBox::StandardButton which)
{
    auto* box = qobject_cast<QMessageBox*>(window);
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(which), Qt::LeftButton);
}

class QtDialogs : public ::testing::Test {
protected:
    CZENDatabase& Db() { return m_bed.Facade(); }
    dlgtest::CDialogTestBed m_bed;
};

TEST_F(QtDialogs, LoginTakesTheTypedPassword)
{
    qttest::CUiScript script;
    script.On("dialog-13004", [](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Iniciar sesión"));
        auto* password = Control<QLineEdit>(w, 13050);
        EXPECT_EQ(Control<QLineEdit>(w, 13049)->text(), QStringLiteral("admin"));
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(password->hasFocus());
        KeyClicks(password, QStringLiteral("sécret"));
        EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13004")));
        Click(w, IDOK);
    });
    EXPECT_EQ(Db().AskForNameAndPassword("admin"), 1);
    EXPECT_EQ(Db().GetUserPassword(), "sécret");
    EXPECT_EQ(Db().GetUserNameA(), "admin");
}

TEST_F(QtDialogs, RegistrationSavesSamplesAndBatchesAndAsksAboutTakenIdentifiers)
{
    CZENDB_Pattern pattern(&Db());
    pattern.Name = "Vickers HV1";
    ASSERT_TRUE(pattern.Save());
    qttest::CUiScript script;
    script
        .On("dialog-13002",
            [](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), QStringLiteral("Registrar muestra"));
                EXPECT_EQ(Control<QLabel>(w, 13201)->text(), QStringLiteral("Orden de trabajo (50)"));
                EXPECT_FALSE(Control(w, 13210)->isVisible());  // custom fields start hidden
                Type(Control<QLineEdit>(w, 43000), QStringLiteral("Q-1"));
                Type(Control<QLineEdit>(w, 43001), QStringLiteral("WO-Q"));
                auto* combo = Control<QComboBox>(w, 43028);
                combo->setCurrentIndex(combo->findText(QStringLiteral("P: Vickers HV1")));
                EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13002")));
                Click(w, 13058);
                // Saved: the next identifier, the same values.
                EXPECT_EQ(Control<QLineEdit>(w, 43000)->text(), QStringLiteral("Q-2"));
                EXPECT_EQ(Control<QLineEdit>(w, 43001)->text(), QStringLiteral("WO-Q"));
                Click(w, 13059);
            })
        .On("dialog-13029",
            [](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), QStringLiteral("Batch create"));
                EXPECT_TRUE(Control<QLabel>(w, 13055)->text().contains(QStringLiteral("Q-2, Q-3")));
                Type(Control<QLineEdit>(w, 13053), QStringLiteral("2"));
                EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13029")));
                Click(w, IDOK);
            })
        .On("dialog-13002",
            [](QWidget* w) {
                EXPECT_EQ(Control<QLineEdit>(w, 43000)->text(), QStringLiteral("Q-4"));
                Type(Control<QLineEdit>(w, 43000), QStringLiteral("Q-1"));
                Type(Control<QLineEdit>(w, 43001), QStringLiteral("changed"));
                Click(w, 13058);
            })
        .On("zen-messagebox",
            [](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                EXPECT_EQ(box->text().toStdString(), dlgtest::Text(13021));
                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                EXPECT_EQ(box->buttons().size(), 2);
                EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("message-13021")));
                Answer(w, QMessageBox::No);
            })
        .On("dialog-13002", [](QWidget* w) {
            EXPECT_EQ(Control<QLineEdit>(w, 43001)->text(), QStringLiteral("changed"));
            Click(w, IDCANCEL);
        });
    CMapStringToOb presets;
    EXPECT_FALSE(Db().RegisterNewSampleByDialog(presets));

    for (const char* id : {"Q-1", "Q-2", "Q-3"}) {
        const auto sample = m_bed.FindSample(id);
        ASSERT_TRUE(sample) << id;
        EXPECT_EQ(sample->WorkOrder, "WO-Q") << id;
        bool isRoutine = true;
        int32_t test = -1;
        CZENDB_Sample copy(*sample);
        EXPECT_TRUE(copy.GetDefaultProfileOrRoutine(isRoutine, test)) << id;
        EXPECT_EQ(test, pattern.PatternID) << id;
    }
    EXPECT_EQ(m_bed.SampleCount(), 3);
}

TEST_F(QtDialogs, EditingSavesOnOk)
{
    const int32_t key = m_bed.AddSample("E-1", "before");
    qttest::CUiScript script;
    script.On("dialog-13002", [](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Editar muestra"));
        EXPECT_FALSE(Control(w, 13058)->isVisible());
        EXPECT_EQ(Control<QLineEdit>(w, 43001)->text(), QStringLiteral("before"));
        Type(Control<QLineEdit>(w, 43001), QStringLiteral("after"));
        EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13002-editing")));
        Click(w, IDOK);
    });
    EXPECT_TRUE(Db().EditSampleByDialog(key));
    EXPECT_EQ(m_bed.FindSample("E-1")->WorkOrder, "after");
}

TEST_F(QtDialogs, SearchRefusesAnApostropheAndCollectsTheCorrectedCriteria)
{
    qttest::CUiScript script;
    script
        .On("dialog-13005",
            [](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), QStringLiteral("Buscar muestras"));
                Type(Control<QLineEdit>(w, 43029), QStringLiteral("O'Brien"));
                Click(w, IDOK);
            })
        .On("zen-messagebox",
            [](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                EXPECT_EQ(box->text(), QStringLiteral("Carácter no válido en cadena de búsqueda"));
                EXPECT_EQ(box->icon(), QMessageBox::Critical);
                Answer(w, QMessageBox::Ok);
            })
        .On("dialog-13005", [](QWidget* w) {
            Type(Control<QLineEdit>(w, 43029), QStringLiteral("OBrien"));
            QWidget* from = Control(w, 43031);
            QTest::mouseClick(from->findChild<QCheckBox*>(), Qt::LeftButton);
            from->findChild<QDateEdit*>()->setDate(QDate(2014, 5, 1));
            EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13005")));
            Click(w, IDOK);
        });
    CMapStringToPtr criteria;
    EXPECT_TRUE(Db().GetSearchCriteriaByDialog(&criteria));
    ASSERT_EQ(criteria.GetCount(), 2);
    void* value = nullptr;
    ASSERT_TRUE(criteria.Lookup("Signature", value));
    EXPECT_EQ(static_cast<SampleSearchCriterion*>(value)->Text, "OBrien");
    delete static_cast<SampleSearchCriterion*>(value);
    ASSERT_TRUE(criteria.Lookup("MeasuredDate", value));
    const auto* measured = static_cast<SampleSearchCriterion*>(value);
    EXPECT_EQ(measured->From.Format("%Y-%m-%d"), "2014-05-01");
    EXPECT_EQ(measured->To.GetTime(), 0);
    delete measured;
}

TEST_F(QtDialogs, SettingsPageStoresWhatWasChosenOnItsTab)
{
    CPropertySheet sheet("Ajustes");
    const int index = Db().AddSampleSettingsPage(&sheet);
    qttest::CUiScript script;
    script.On("dialog-sheet", [](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Ajustes"));
        auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tabs"));
        EXPECT_EQ(tabs->tabText(0), QStringLiteral("Ajustes de la base de datos"));
        QWidget* page = w->findChild<QWidget*>(QStringLiteral("page-13003"));
        EXPECT_EQ(Control<QCheckBox>(page, 13003)->text(), QStringLiteral("Orden de trabajo"));
        QTest::mouseClick(Control<QCheckBox>(page, 13003), Qt::LeftButton);  // work order hidden
        QTest::mouseClick(Control<QCheckBox>(page, 13047), Qt::LeftButton);  // custom field 19 shown
        Type(Control<QLineEdit>(page, 13044), QStringLiteral("Último"));
        EXPECT_TRUE(SaveScreenshot(w, QStringLiteral("dialog-13003")));
        Click(w, IDOK);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_TRUE(Db().StoreSampleSettingsPage(&sheet, index));

    CZENDB_RegistrationField workOrder(&Db());
    ASSERT_TRUE(workOrder.Load("WorkOrder"));
    EXPECT_FALSE(workOrder.Visible);
    CZENDB_RegistrationField custom(&Db());
    ASSERT_TRUE(custom.Load("CustomField19"));
    EXPECT_TRUE(custom.Visible);
    EXPECT_EQ(custom.GetDescription(), "Último");
}

} // namespace
