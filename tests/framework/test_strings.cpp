// Tests of the string table and the dialog-template texts: exact texts (with
// their accents, quotes and line breaks), unknown ids, and the CString hook.
#include "framework/CString.h"
#include "framework/StringTable.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(StringTable, HoldsTheExactTexts)
{
    struct Case {
        UINT id;
        const char* text;
    };
    const Case cases[] = {
        {13006, "No hay conexión con la base de datos del ZEN"},
        {13007, "Las muestras no se pueden registar porque todos los campos son invisibles.\nHacer visibles algunos campos e intentarlo de nuevo"},
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
        {13021, "¡Aviso!\n¡Esta muestra ya está registrada!\n¿Desea cargar la muestra existente (su entrada actual será sobreescrita)?"},
        {13022, "Identificador de la muestra de usuario no válido"},
        {13024, "Medido por"},
        {13025, "Inicio de sesión incorrecto. Inténtelo de nuevo o elija cancelar."},
        {13026, "Fecha de medida"},
        {13027, "Firmado por"},
        {13028, "Carácter no válido en cadena de búsqueda"},
        {13029, "Esta función crea un lote de muestras con los siguientes nombres: \" %s ...\"."},
        {13030, "Estas muestras ya existen: \n%s\n\n¿Quisiera crear el resto de las muestras?\n\n%s"},
        {13031, "Estas muestras ya existen: \n%s\n ¿Le gustaría cargar la primera muestra?"},
        {13032, "Failed to find out database version!\nPlease verify that the selected database is a ZEN Database?"},
        {13034, "Not possible to login to database because it's not possible to write to the database!\nThis can be caused by one or more of the following reassons:\n* The database file is write protected.\n* You do not have write permission to the database file\n* The file is locked by another application\n* The ODBC driver for Access is in read only mode."},
        {13035, "Failed to upgrade database!"},
        {13036, "Sucessfully upgraded database to version %d.%d."},
        {13037, "Failed to open database '%s'."},
    };
    for (const Case& c : cases) {
        CString text;
        EXPECT_TRUE(ZenLookupString(c.id, text)) << c.id;
        EXPECT_EQ(text, c.text) << c.id;
        EXPECT_EQ(LoadResString(c.id), c.text) << c.id;
    }
    // "ó" is the two bytes of U+00F3.
    EXPECT_EQ(LoadResString(13006).Mid(13, 2), "\xC3\xB3");
}

TEST(StringTable, UnknownIdsGiveEmptyTextAndFalse)
{
    for (UINT id : {0u, 13005u, 13017u, 13023u, 13033u, 13038u, 99999u}) {
        CString text("left over");
        EXPECT_FALSE(ZenLookupString(id, text)) << id;
        EXPECT_TRUE(text.IsEmpty()) << id;
        EXPECT_TRUE(LoadResString(id).IsEmpty()) << id;
    }
}

TEST(StringTable, CStringLoadStringUsesTheTable)
{
    CString s("old");
    EXPECT_TRUE(s.LoadString(13036));
    EXPECT_EQ(s, "Sucessfully upgraded database to version %d.%d.");
    EXPECT_FALSE(s.LoadString(13017));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(StringTable, DialogTemplatesCarryTheirCaptionsAndLabels)
{
    EXPECT_EQ(LoadDialogCaption(IDD_LOGIN), "Iniciar sesión");
    EXPECT_EQ(LoadDialogCaption(IDD_SEARCH_SAMPLES), "Buscar muestras");
    EXPECT_EQ(LoadDialogCaption(IDD_BATCH_CREATE), "Batch create");
    EXPECT_EQ(LoadDialogCaption(IDD_SAMPLE_SETTINGS_PAGE), "Ajustes de la base de datos");
    EXPECT_TRUE(LoadDialogCaption(IDD_REGISTER_SAMPLE).IsEmpty());
    EXPECT_TRUE(LoadDialogCaption(4711).IsEmpty());
    EXPECT_TRUE(GetDialogTexts(4711).empty());

    auto textOf = [](UINT templateId, int controlId) {
        for (const ZenDialogText& t : GetDialogTexts(templateId))
            if (t.nControlId == controlId)
                return CString(t.pszText);
        return CString("<none>");
    };
    EXPECT_EQ(textOf(IDD_BATCH_CREATE, 13054), "Number of samples to create: ");
    EXPECT_EQ(textOf(IDD_REGISTER_SAMPLE, 13058), "Muestra de registro");
    EXPECT_EQ(textOf(IDD_REGISTER_SAMPLE, 13059), "Muestras de registro de lote...");
    EXPECT_EQ(textOf(IDD_REGISTER_SAMPLE, 13025), "Borrar todos los campos");
    EXPECT_EQ(textOf(IDD_REGISTER_SAMPLE, 13002), "Información de la muestra");
    EXPECT_EQ(textOf(IDD_LOGIN, 1), "Aceptar");

    std::set<CString> loginStatics;
    for (const ZenDialogText& t : GetDialogTexts(IDD_LOGIN))
        if (t.nControlId == IDC_STATIC)
            loginStatics.insert(t.pszText);
    EXPECT_EQ(loginStatics, (std::set<CString>{"&Usuario:", "&Contraseña:", "Nombre de inicio de sesión del usuario"}));

    int rowNumbers = 0;
    for (const ZenDialogText& t : GetDialogTexts(IDD_SAMPLE_SETTINGS_PAGE))
        rowNumbers += CString(t.pszText).Right(1) == ":" && CString(t.pszText) != "Nombre del campo";
    EXPECT_EQ(rowNumbers, 19);
}

} // namespace
