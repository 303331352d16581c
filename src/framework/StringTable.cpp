// The shipped string table and dialog-template texts, kept as data in this one
// file; texts are exactly those the station shows ("\n" is a line break,
// printf fields are filled by the callers).
#include "framework/StringTable.h"

#include "framework/Translation.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

struct StringEntry {
    UINT id;
    const char* text;
};

// Sorted by id. Ids 13017, 13023 and 13033 are not part of the shipped table.
constexpr StringEntry kStrings[] = {
    {13006, "No hay conexión con la base de datos del ZEN"},
    {13007, "Las muestras no se pueden registar porque todos los campos son invisibles.\n"
            "Hacer visibles algunos campos e intentarlo de nuevo"},
    {13008, "Registrar muestra"},
    {13009, "Editar muestra"},
    {13010, "Identificador de la muestra"},
    {13011, "Identificador de la muestra"},
    {13012, "Orden de trabajo"},
    {13013, "Número de pieza"},
    {13014, "Detalle"},
    {13015, "Material"},
    {13016, "Cliente"},
    {13018, "Fecha de vencimiento"},
    {13019, "Fecha de registro"},
    {13020, "Registrado por"},
    {13021, "¡Aviso!\n¡Esta muestra ya está registrada!\n"
            "¿Desea cargar la muestra existente (su entrada actual será sobreescrita)?"},
    {13022, "Identificador de la muestra de usuario no válido"},
    {13024, "Medido por"},
    {13025, "Inicio de sesión incorrecto. Inténtelo de nuevo o elija cancelar."},
    {13026, "Fecha de medida"},
    {13027, "Firmado por"},
    {13028, "Carácter no válido en cadena de búsqueda"},
    {13029, "Esta función crea un lote de muestras con los siguientes nombres: \" %s ...\"."},
    {13030, "Estas muestras ya existen: \n%s\n\n¿Quisiera crear el resto de las muestras?\n\n%s"},
    {13031, "Estas muestras ya existen: \n%s\n ¿Le gustaría cargar la primera muestra?"},
    {13032, "Failed to find out database version!\n"
            "Please verify that the selected database is a ZEN Database?"},
    {13034, "Not possible to login to database because it's not possible to write to the database!\n"
            "This can be caused by one or more of the following reassons:\n"
            "* The database file is write protected.\n"
            "* You do not have write permission to the database file\n"
            "* The file is locked by another application\n"
            "* The ODBC driver for Access is in read only mode."},
    {13035, "Failed to upgrade database!"},
    {13036, "Sucessfully upgraded database to version %d.%d."},
    {13037, "Failed to open database '%s'."},
    {13062, "¡Aviso!\nLa muestra %s se acaba de registrar en otro puesto.\n"
            "Se propone el siguiente identificador libre: %s"},
    {13063, "Estos identificadores se acaban de registrar en otro puesto y se han omitido: \n%s"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; }),
              "string table must stay sorted by id");

struct TemplateText {
    UINT templateId;
    int controlId;  // 0: the caption
    const char* text;
};

constexpr int kCaption = 0;

// Grouped by template, each in template order.
constexpr TemplateText kTemplateTexts[] = {
    // Sample registration; its caption is set at opening (13008 or 13009).
    {IDD_REGISTER_SAMPLE, 13058, "Muestra de registro"},
    {IDD_REGISTER_SAMPLE, 13059, "Muestras de registro de lote..."},
    {IDD_REGISTER_SAMPLE, 13025, "Borrar todos los campos"},
    {IDD_REGISTER_SAMPLE, 1, "Aceptar"},
    {IDD_REGISTER_SAMPLE, 2, "Cancelar"},
    {IDD_REGISTER_SAMPLE, 13002, "Información de la muestra"},
    // Sample settings page.
    {IDD_SAMPLE_SETTINGS_PAGE, kCaption, "Ajustes de la base de datos"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "Campos estándar"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "Campos personalizados"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "Nota: Los nombres de campos estándar no son editables."},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "Visible"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "Nombre del campo"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "1:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "2:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "3:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "4:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "5:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "6:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "7:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "8:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "9:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "10:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "11:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "12:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "13:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "14:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "15:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "16:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "17:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "18:"},
    {IDD_SAMPLE_SETTINGS_PAGE, IDC_STATIC, "19:"},
    // Login.
    {IDD_LOGIN, kCaption, "Iniciar sesión"},
    {IDD_LOGIN, IDC_STATIC, "&Usuario:"},
    {IDD_LOGIN, IDC_STATIC, "&Contraseña:"},
    {IDD_LOGIN, IDC_STATIC, "Nombre de inicio de sesión del usuario"},
    {IDD_LOGIN, 1, "Aceptar"},
    {IDD_LOGIN, 2, "Cancelar"},
    // Sample search.
    {IDD_SEARCH_SAMPLES, kCaption, "Buscar muestras"},
    {IDD_SEARCH_SAMPLES, 1, "Aceptar"},
    {IDD_SEARCH_SAMPLES, 2, "Cancelar"},
    // Batch create.
    {IDD_BATCH_CREATE, kCaption, "Batch create"},
    {IDD_BATCH_CREATE, 13054, "Number of samples to create: "},
    {IDD_BATCH_CREATE, 1, "OK"},
    {IDD_BATCH_CREATE, 2, "Cancel"},
    // Reason for changing a signed sample.
    {IDD_CHANGE_REASON, kCaption, "Change of a signed sample"},
    {IDD_CHANGE_REASON, IDC_STATIC, "&Reason:"},
    {IDD_CHANGE_REASON, 1, "OK"},
    {IDD_CHANGE_REASON, 2, "Cancel"},
};

// The shipped text in the chosen language. The language check comes first,
// so under the C locale a lookup costs no more than the table search.
const char* Translated(const char* context, const char* text)
{
    if (ZenGetLanguages().empty())
        return text;
    return ZenTranslate(kZenTextDomain, context, text);
}

const char* TranslatedEntry(UINT id, const char* text)
{
    if (ZenGetLanguages().empty())
        return text;
    char context[16];
    std::snprintf(context, sizeof context, "%u", id);
    return ZenTranslate(kZenTextDomain, context, text);
}

} // namespace

bool ZenLookupString(UINT id, CString& out)
{
    const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                     [](const StringEntry& entry, UINT key) { return entry.id < key; });
    if (it == std::end(kStrings) || it->id != id) {
        out.Empty();
        return false;
    }
    out = TranslatedEntry(id, it->text);
    return true;
}

CString LoadResString(UINT id)
{
    CString text;
    ZenLookupString(id, text);
    return text;
}

std::vector<UINT> ZenGetStringTableIds()
{
    std::vector<UINT> ids;
    for (const StringEntry& entry : kStrings)
        ids.push_back(entry.id);
    return ids;
}

CString ZenDialogTextContext(UINT templateId)
{
    CString context;
    context.Format("dialog %u", templateId);
    return context;
}

CString ZenTranslateDialogText(UINT templateId, const CString& text)
{
    if (text.IsEmpty() || ZenGetLanguages().empty())
        return text;
    return CString(ZenTranslate(kZenTextDomain, ZenDialogTextContext(templateId).GetString(), text.GetString()));
}

CString LoadDialogCaption(UINT templateId)
{
    for (const TemplateText& entry : kTemplateTexts) {
        if (entry.templateId == templateId && entry.controlId == kCaption)
            return ZenTranslateDialogText(templateId, entry.text);
    }
    return CString();
}

std::vector<ZenDialogText> GetDialogTexts(UINT templateId)
{
    // Translations live as long as the process (ZenTranslate), so the
    // pointers handed out stay valid like those of the shipped texts.
    std::vector<ZenDialogText> texts;
    CString context;
    for (const TemplateText& entry : kTemplateTexts) {
        if (entry.templateId == templateId && entry.controlId != kCaption) {
            if (context.IsEmpty())
                context = ZenDialogTextContext(templateId);
            texts.push_back({entry.controlId, Translated(context.GetString(), entry.text)});
        }
    }
    return texts;
}
