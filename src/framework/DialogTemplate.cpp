// The library's dialog templates as data, and the lookup through which
// CDialog creates its controls. Places are in dialog units; the rows of
// registration fields repeat on a grid, so they are generated in a loop.
#include "framework/DialogTemplate.h"

#include "framework/StringTable.h"

#include <map>
#include <mutex>

namespace {

using K = ZenControlKind;

ZenControlTemplate Ctl(K kind, int id, const char* text, int x, int y, int cx, int cy, DWORD style = 0,
                       bool visible = true)
{
    ZenControlTemplate control;
    control.kind = kind;
    control.id = id;
    control.text = text;
    control.x = x;
    control.y = y;
    control.cx = cx;
    control.cy = cy;
    control.style = style;
    control.visible = visible;
    return control;
}

// Registration field rows of the sample dialogs: 27 rows in two columns of
// 14, label 13201 + i beside input 43001 + i. Inputs at positions 5 and 6
// are date pickers (the two date fields of the standard display order).
constexpr int kFieldRows = 27;
constexpr int kRowsPerColumn = 14;
constexpr int kRowPitch = 16;
constexpr int kLabelWidth = 92;
constexpr int kInputWidth = 130;
constexpr int kColumnPitch = 232;
constexpr int kPickerWidth = 64;

bool IsDatePosition(int i)
{
    return i == 5 || i == 6;
}

// Appends the 27 rows starting at y = top. withSecondPickers: the hidden
// pickers 43033/43034 stand beside the pickers of positions 5 and 6, which
// then take half the width.
void AddFieldRows(std::vector<ZenControlTemplate>& controls, int left, int top, bool withSecondPickers)
{
    for (int i = 0; i < kFieldRows; ++i) {
        const int x = left + (i / kRowsPerColumn) * kColumnPitch;
        const int y = top + (i % kRowsPerColumn) * kRowPitch;
        const char* label = i == 5 ? "Fecha de registro" : (i == 6 ? "Fecha de vencimiento" : "");
        controls.push_back(Ctl(K::Static, 13201 + i, label, x, y + 2, kLabelWidth, 8));
        if (IsDatePosition(i)) {
            const int width = withSecondPickers ? kPickerWidth : kInputWidth;
            controls.push_back(Ctl(K::DateTimePicker, 43001 + i, "", x + kLabelWidth + 2, y, width, 12, DTS_SHOWNONE));
            if (withSecondPickers) {
                controls.push_back(Ctl(K::DateTimePicker, i == 5 ? 43033 : 43034, "", x + kLabelWidth + 4 + kPickerWidth,
                                       y, kPickerWidth, 12, DTS_SHOWNONE, false));
            }
        } else {
            controls.push_back(Ctl(K::Edit, 43001 + i, "", x + kLabelWidth + 2, y, kInputWidth, 12));
        }
    }
}

ZenDialogTemplate RegisterSampleTemplate()
{
    ZenDialogTemplate t;
    t.id = IDD_REGISTER_SAMPLE;  // caption set at opening
    t.cx = 490;
    t.cy = 309;
    auto& c = t.controls;
    c.push_back(Ctl(K::Static, 13200, "", 14, 20, kLabelWidth, 8));
    c.push_back(Ctl(K::Edit, 43000, "", 14 + kLabelWidth + 2, 18, kInputWidth, 12));
    AddFieldRows(c, 14, 38, false);
    c.push_back(Ctl(K::Static, 13228, "Perfil o rutina:", 14, 264, kLabelWidth, 8));
    c.push_back(Ctl(K::ComboBox, 43028, "", 14 + kLabelWidth + 2, 262, kInputWidth, 12, CBS_DROPDOWN | CBS_SORT));
    c.push_back(Ctl(K::PushButton, 13058, "Muestra de registro", 7, 288, 90, 14));
    c.push_back(Ctl(K::PushButton, 13059, "Muestras de registro de lote...", 101, 288, 120, 14));
    c.push_back(Ctl(K::PushButton, 13025, "Borrar todos los campos", 225, 288, 100, 14));
    c.push_back(Ctl(K::PushButton, 1, "Aceptar", 378, 288, 50, 14, BS_DEFPUSHBUTTON));
    c.push_back(Ctl(K::PushButton, 2, "Cancelar", 433, 288, 50, 14));
    c.push_back(Ctl(K::GroupBox, 13002, "Información de la muestra", 7, 6, 476, 276));
    return t;
}

ZenDialogTemplate SearchSamplesTemplate()
{
    constexpr int input = 14 + kLabelWidth + 2;
    ZenDialogTemplate t;
    t.id = IDD_SEARCH_SAMPLES;
    t.caption = "Buscar muestras";
    t.cx = 490;
    t.cy = 357;
    auto& c = t.controls;
    c.push_back(Ctl(K::Static, 13200, "", 14, 16, kLabelWidth, 8));
    c.push_back(Ctl(K::Edit, 43000, "", input, 14, kInputWidth, 12));
    c.push_back(Ctl(K::Static, 13229, "", 14, 32, kLabelWidth, 8));
    c.push_back(Ctl(K::Edit, 43029, "", input, 30, kInputWidth, 12));
    c.push_back(Ctl(K::Static, 13230, "", 14, 48, kLabelWidth, 8));
    c.push_back(Ctl(K::Edit, 43030, "", input, 46, kInputWidth, 12));
    c.push_back(Ctl(K::Static, 13231, "", 14, 64, kLabelWidth, 8));
    c.push_back(Ctl(K::DateTimePicker, 43031, "", input, 62, kPickerWidth, 12, DTS_SHOWNONE));
    c.push_back(Ctl(K::DateTimePicker, 43032, "", input + kPickerWidth + 2, 62, kPickerWidth, 12, DTS_SHOWNONE));
    AddFieldRows(c, 14, 86, true);
    c.push_back(Ctl(K::Static, 13228, "Perfil o rutina:", 14, 314, kLabelWidth, 8));
    c.push_back(Ctl(K::ComboBox, 43028, "", input, 312, kInputWidth, 12, CBS_DROPDOWN | CBS_SORT));
    c.push_back(Ctl(K::PushButton, 1, "Aceptar", 378, 336, 50, 14, BS_DEFPUSHBUTTON));
    c.push_back(Ctl(K::PushButton, 2, "Cancelar", 433, 336, 50, 14));
    return t;
}

ZenDialogTemplate LoginTemplate()
{
    ZenDialogTemplate t;
    t.id = IDD_LOGIN;
    t.caption = "Iniciar sesión";
    t.cx = 190;
    t.cy = 87;
    auto& c = t.controls;
    c.push_back(Ctl(K::Static, IDC_STATIC, "&Usuario:", 15, 22, 52, 8));
    c.push_back(Ctl(K::Edit, 13049, "", 70, 20, 105, 12));
    c.push_back(Ctl(K::Static, IDC_STATIC, "&Contraseña:", 15, 40, 52, 8));
    c.push_back(Ctl(K::Edit, 13050, "", 70, 38, 105, 12, ES_PASSWORD));
    c.push_back(Ctl(K::GroupBox, IDC_STATIC, "Nombre de inicio de sesión del usuario", 7, 6, 176, 52));
    c.push_back(Ctl(K::PushButton, 1, "Aceptar", 72, 66, 50, 14, BS_DEFPUSHBUTTON));
    c.push_back(Ctl(K::PushButton, 2, "Cancelar", 133, 66, 50, 14));
    return t;
}

ZenDialogTemplate BatchCreateTemplate()
{
    ZenDialogTemplate t;
    t.id = IDD_BATCH_CREATE;
    t.caption = "Batch create";
    t.cx = 230;
    t.cy = 84;
    auto& c = t.controls;
    c.push_back(Ctl(K::Static, 13054, "Number of samples to create: ", 7, 10, 110, 8));
    c.push_back(Ctl(K::Edit, 13053, "", 120, 8, 40, 12, ES_NUMBER));
    c.push_back(Ctl(K::Static, 13055, "", 7, 28, 216, 26));
    c.push_back(Ctl(K::Edit, 13056, "", 7, 62, 60, 12, ES_READONLY, false));
    c.push_back(Ctl(K::PushButton, 1, "OK", 118, 62, 50, 14, BS_DEFPUSHBUTTON));
    c.push_back(Ctl(K::PushButton, 2, "Cancel", 173, 62, 50, 14));
    return t;
}

ZenDialogTemplate SampleSettingsPageTemplate()
{
    // Check boxes and name edits of the custom rows 1..19 and the standard
    // check boxes 1..8, by slot.
    static constexpr int kStandardChecks[8] = {13003, 13030, 13032, 13034, 13035, 13036, 13037, 13048};
    static constexpr int kCustomChecks[19] = {13006, 13004, 13010, 13008, 13014, 13012, 13018, 13016, 13022, 13020,
                                              13026, 13024, 13028, 13040, 13039, 13041, 13046, 13045, 13047};
    static constexpr int kCustomEdits[19] = {13007, 13005, 13011, 13009, 13015, 13013, 13019, 13017, 13023, 13021,
                                             13027, 13025, 13029, 13031, 13033, 13038, 13042, 13043, 13044};
    static const char* const kRowNumbers[19] = {"1:",  "2:",  "3:",  "4:",  "5:",  "6:",  "7:",
                                                "8:",  "9:",  "10:", "11:", "12:", "13:", "14:",
                                                "15:", "16:", "17:", "18:", "19:"};
    ZenDialogTemplate t;
    t.id = IDD_SAMPLE_SETTINGS_PAGE;
    t.caption = "Ajustes de la base de datos";
    t.cx = 400;
    t.cy = 290;
    auto& c = t.controls;
    c.push_back(Ctl(K::GroupBox, IDC_STATIC, "Campos estándar", 7, 6, 132, 276));
    for (int i = 0; i < 8; ++i)
        c.push_back(Ctl(K::CheckBox, kStandardChecks[i], "", 14, 32 + i * 13, 118, 10));
    c.push_back(Ctl(K::GroupBox, IDC_STATIC, "Campos personalizados", 145, 6, 248, 276));
    c.push_back(Ctl(K::Static, IDC_STATIC, "Nota: Los nombres de campos estándar no son editables.", 14, 140, 118, 24));
    c.push_back(Ctl(K::Static, IDC_STATIC, "Visible", 163, 19, 30, 8));
    c.push_back(Ctl(K::Static, IDC_STATIC, "Nombre del campo", 196, 19, 100, 8));
    for (int i = 0; i < 19; ++i) {
        const int y = 32 + i * 13;
        c.push_back(Ctl(K::Static, IDC_STATIC, kRowNumbers[i], 152, y + 1, 12, 8));
        c.push_back(Ctl(K::CheckBox, kCustomChecks[i], "", 170, y, 12, 10));
        c.push_back(Ctl(K::Edit, kCustomEdits[i], "", 196, y - 1, 190, 12));
    }
    return t;
}

ZenDialogTemplate ChangeReasonTemplate()
{
    ZenDialogTemplate t;
    t.id = IDD_CHANGE_REASON;
    t.caption = "Change of a signed sample";
    t.cx = 260;
    t.cy = 92;
    auto& c = t.controls;
    c.push_back(Ctl(K::Static, 13301, "", 7, 8, 246, 34));
    c.push_back(Ctl(K::Static, IDC_STATIC, "&Reason:", 7, 50, 40, 8));
    c.push_back(Ctl(K::Edit, 13302, "", 50, 48, 203, 12));
    c.push_back(Ctl(K::PushButton, 1, "OK", 148, 70, 50, 14, BS_DEFPUSHBUTTON));
    c.push_back(Ctl(K::PushButton, 2, "Cancel", 203, 70, 50, 14));
    return t;
}

struct Registry {
    std::mutex mutex;
    std::map<UINT, ZenDialogTemplate> builtIn;
    std::map<UINT, ZenDialogTemplate> registered;

    Registry()
    {
        for (ZenDialogTemplate t : {RegisterSampleTemplate(), SampleSettingsPageTemplate(), LoginTemplate(),
                                    SearchSamplesTemplate(), BatchCreateTemplate(), ChangeReasonTemplate()})
            builtIn.emplace(t.id, std::move(t));
    }
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

const ZenControlTemplate* ZenDialogTemplate::FindControl(int controlId) const
{
    for (const ZenControlTemplate& control : controls) {
        if (control.id == controlId)
            return &control;
    }
    return nullptr;
}

const ZenDialogTemplate* ZenFindDialogTemplate(UINT id)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    // Entries of std::map stay where they are, so the pointer stays valid
    // until the template is replaced.
    if (auto it = registry.registered.find(id); it != registry.registered.end())
        return &it->second;
    if (auto it = registry.builtIn.find(id); it != registry.builtIn.end())
        return &it->second;
    return nullptr;
}

void ZenRegisterDialogTemplate(const ZenDialogTemplate& dialogTemplate)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.registered[dialogTemplate.id] = dialogTemplate;
}

std::vector<UINT> ZenBuiltInDialogTemplateIds()
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::vector<UINT> ids;
    for (const auto& entry : registry.builtIn)
        ids.push_back(entry.first);
    return ids;
}
