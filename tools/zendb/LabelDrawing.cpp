// Drawing of sample labels (see LabelDrawing.h): the barcode comes from zint
// as a list of rectangles and is drawn with cairo like the rest of the label,
// so that PDF and SVG keep it as sharp vector bars. Lengths are worked out in
// millimetres and drawn in points.
#include "LabelDrawing.h"

#include "Output.h"
#include "Tool.h"
#include "Tr.h"

#include <cairo.h>
#include <zint.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

namespace zendb {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
// Blank edge of the label around everything, quiet zones included (printers
// cannot print to the very edge and labels shift a little in them).
constexpr double kEdge = 1.5;
constexpr double kGap = 1.0;             // between the barcode and the identifier
// Narrowest module that common label printers (203 dpi and up) still print
// so that scanners read it, and the widest worth using.
constexpr double kMinModuleLinear = 0.19;
constexpr double kMinModule2D = 0.25;
constexpr double kMaxModuleLinear = 0.5;
constexpr double kMaxModule2D = 0.6;
// The quiet zones the symbologies require on each side, in modules.
constexpr int kQuietLinear = 10;
constexpr int kQuiet2D = 4;
constexpr int kTextLines = 3;           // work order, customer, due date
constexpr double kMinIdFontSize = 1.2;  // mm; the identifier's text is not set smaller

double Pt(double mm)
{
    return mm * kPointsPerMm;
}

std::string Mm(double value)
{
    std::string text = FormatFixed(value, 2);
    while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.'))
        text.pop_back();
    return text;
}

const char* SymbologyName(ESymbology symbology)
{
    return symbology == ESymbology::Code128 ? "Code 128" : "QR Code";
}

// A symbol as zint lays it out, without its quiet zones.
struct CBarcode {
    int columns = 0;    // modules across
    int rows = 0;       // rows of modules; 1 for Code 128, whose bars fill the height given
    struct CBar {
        double x, width;    // in modules
        double y, height;   // in parts of the symbol's height (0 .. 1)
    };
    std::vector<CBar> bars;
};

struct CZintDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

CBarcode Encode(const std::string& id, ESymbology symbology)
{
    if (symbology == ESymbology::Code128)
        for (const char c : id)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                throw CToolError(TrF("sample '%s': Code 128 carries only ASCII letters, digits and signs; "
                                     "print its label with --barcode qr",
                                     id));
    std::unique_ptr<zint_symbol, CZintDeleter> symbol(ZBarcode_Create());
    if (!symbol)
        throw CToolError(TrF("sample '%s': the barcode cannot be made: %s", id, Tr("out of memory")));
    symbol->show_hrt = 0;                               // the identifier is drawn as text by the label
    symbol->output_options = BARCODE_NO_QUIET_ZONES;    // the layout keeps them
    if (symbology == ESymbology::Code128) {
        symbol->symbology = BARCODE_CODE128;
        symbol->input_mode = DATA_MODE;
    } else {
        symbol->symbology = BARCODE_QRCODE;
        // Marked as UTF-8, so that readers do not take the bytes for Latin-1
        // or Shift JIS.
        symbol->input_mode = UNICODE_MODE;
        symbol->eci = 26;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(id.data());
    int status = ZBarcode_Encode(symbol.get(), data, static_cast<int>(id.size()));
    if (status < ZINT_ERROR)
        status = ZBarcode_Buffer_Vector(symbol.get(), 0);
    if (status >= ZINT_ERROR || symbol->vector == nullptr || symbol->width <= 0 || symbol->rows <= 0)
        throw CToolError(TrF("sample '%s': the barcode cannot be made: %s", id, symbol->errtxt));

    CBarcode code;
    code.columns = symbol->width;
    code.rows = symbology == ESymbology::Code128 ? 1 : symbol->rows;
    // zint's vector units per module across, and the symbol's full height.
    const double unit = symbol->vector->width / code.columns;
    const double height = symbol->vector->height;
    for (const zint_vector_rect* rect = symbol->vector->rectangles; rect != nullptr; rect = rect->next)
        if (rect->colour == -1)     // foreground; without quiet zones there is no background to draw
            code.bars.push_back({rect->x / unit, rect->width / unit, rect->y / height, rect->height / height});
    return code;
}

// Where a label's barcode goes, in points from the label's top left corner.
struct CPlacement {
    double left = 0.0;
    double top = 0.0;
    double module = 0.0;
    double height = 0.0;
};

// Sizes of the label's text, in millimetres.
double IdFontSize(const CLabelSize& size)
{
    return std::min(3.2, size.height * 0.11);
}
double LineFontSize(const CLabelSize& size)
{
    return std::min(2.6, size.height * 0.085);
}
// Height left for the barcode with its quiet zones above the text.
double BarcodeAreaHeight(const CLabelSize& size)
{
    return size.height - 2 * kEdge - kGap - 1.2 * IdFontSize(size) - kTextLines * 1.2 * LineFontSize(size);
}

// The module width and place of the barcode on the label; refuses a barcode
// that does not fit readably. pixelsPerPoint: PNG resolution (0 for vector
// output): the module is then a whole number of pixels and the bars start
// on pixel edges, so that no bar edge is blurred.
CPlacement Place(const CBarcode& code, const std::string& id, const CLabelSize& size, ESymbology symbology,
                 double pixelsPerPoint, int dpi)
{
    const bool linear = symbology == ESymbology::Code128;
    const int quiet = linear ? kQuietLinear : kQuiet2D;
    const double width = size.width - 2 * kEdge;
    const double area = BarcodeAreaHeight(size);
    double module = width / (code.columns + 2 * quiet);
    if (!linear)
        module = std::min(module, area / (code.rows + 2 * quiet));
    const double minimum = linear ? kMinModuleLinear : kMinModule2D;
    if (module < minimum)
        throw CToolError(TrF("the identifier '%1$s' is too long for a readable %2$s on a %3$s x %4$s mm label "
                             "(modules of %5$s mm; at least %6$s mm are needed)",
                             id, SymbologyName(symbology), Mm(size.width), Mm(size.height),
                             FormatFixed(module, 3), Mm(minimum)));
    module = Pt(std::min(module, linear ? kMaxModuleLinear : kMaxModule2D));
    CPlacement place;
    place.height = linear ? Pt(area) : module * code.rows;
    if (pixelsPerPoint > 0.0) {
        const double pixels = std::floor(module * pixelsPerPoint);
        if (pixels < 1.0)
            throw CToolError(TrF("at %1$s dpi the barcode of '%2$s' has modules narrower than a pixel; "
                                 "give a higher --dpi",
                                 dpi, id));
        module = pixels / pixelsPerPoint;
    }
    place.module = module;
    place.left = (Pt(size.width) - module * code.columns) / 2.0;
    place.top = Pt(kEdge) + (linear ? 0.0 : (Pt(area) - place.height) / 2.0);
    return place;
}

void DrawLabel(cairo_t* cr, double offset, const CLabel& label, const CBarcode& code, const CPlacement& place,
               const CLabelSize& size, double pixelsPerPoint)
{
    // Bar edges on whole pixels in PNG; unchanged in vector output.
    auto snap = [pixelsPerPoint](double value) {
        return pixelsPerPoint > 0.0 ? std::round(value * pixelsPerPoint) / pixelsPerPoint : value;
    };
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_antialias(cr, pixelsPerPoint > 0.0 ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_DEFAULT);
    const double top = offset + place.top;
    for (const CBarcode::CBar& bar : code.bars) {
        const double x0 = snap(place.left + bar.x * place.module);
        const double x1 = snap(place.left + (bar.x + bar.width) * place.module);
        const double y0 = snap(top + bar.y * place.height);
        const double y1 = snap(top + (bar.y + bar.height) * place.height);
        cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    }
    cairo_fill(cr);
    cairo_restore(cr);

    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    const double textWidth = Pt(size.width - 2 * kEdge);
    const double idFont = Pt(IdFontSize(size));
    const double lineFont = Pt(LineFontSize(size));
    double y = offset + Pt(kEdge + BarcodeAreaHeight(size) + kGap) + idFont;
    // A long identifier is set smaller rather than cut: people compare it
    // with the part's papers. Only below the smallest size is it cut.
    // (Steps rather than one proportion: hinted glyph widths do not scale
    // exactly with the size.)
    double idSize = idFont;
    while (idSize > Pt(kMinIdFontSize) && TextWidth(cr, label.id, idSize, true) > textWidth)
        idSize = std::max(Pt(kMinIdFontSize), idSize * 0.95);
    Text(cr, Pt(size.width) / 2.0, y, FitText(cr, label.id, idSize, textWidth, true), idSize, EAlign::Center, true);
    y += 0.2 * idFont;
    for (const auto& [name, value] : label.lines) {
        if (value.empty())
            continue;
        y += 1.2 * lineFont;
        Text(cr, Pt(kEdge), y, FitText(cr, name + ": " + value, lineFont, textWidth), lineFont);
    }
    cairo_restore(cr);
}

// A setting of [Labels] in millimetres; fallback when it is not set.
double ConfiguredLength(const char* key, double fallback, double minimum)
{
    CString setting = GetStringFromConfigFile("Labels", key, "");
    setting.Trim();
    if (setting.IsEmpty())
        return fallback;
    const std::string text = ToStd(setting);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < minimum ||
        value > kLabelMaxSide)
        throw CToolError(TrF("the station configuration's [Labels] %1$s '%2$s' is not a length in millimetres "
                             "from %3$s to %4$s",
                             key, text, Mm(minimum), Mm(kLabelMaxSide)));
    return value;
}

} // namespace

ESymbology ParseSymbology(const std::string& name)
{
    const std::string lower = Lower(name);
    if (lower == "code128")
        return ESymbology::Code128;
    if (lower == "qr")
        return ESymbology::QrCode;
    throw CUsageError(TrF("'%s' is no barcode this tool prints (code128, qr)", name));
}

CLabelSize ConfiguredLabelSize()
{
    CLabelSize size;
    size.width = ConfiguredLength("Width", size.width, kLabelMinWidth);
    size.height = ConfiguredLength("Height", size.height, kLabelMinHeight);
    return size;
}

void WriteLabels(const std::string& path, const std::vector<CLabel>& labels, const CLabelSize& size,
                 ESymbology symbology, int dpi)
{
    const EImageFormat format = ImageFormatOf(path);
    const double pixelsPerPoint = format == EImageFormat::Png ? dpi / 72.0 : 0.0;
    std::vector<CBarcode> codes;
    std::vector<CPlacement> places;
    for (const CLabel& label : labels) {
        codes.push_back(Encode(label.id, symbology));
        places.push_back(Place(codes.back(), label.id, size, symbology, pixelsPerPoint, dpi));
    }
    const double height = Pt(size.height);
    const size_t count = std::max<size_t>(1, labels.size());
    CSurface out(path, Pt(size.width), format == EImageFormat::Pdf ? height : height * static_cast<double>(count),
                 format, dpi / 72.0);
    for (size_t i = 0; i < labels.size(); ++i) {
        const double offset = format == EImageFormat::Pdf ? 0.0 : height * static_cast<double>(i);
        DrawLabel(out.cr, offset, labels[i], codes[i], places[i], size, pixelsPerPoint);
        if (format == EImageFormat::Pdf)
            cairo_show_page(out.cr);
    }
    out.Finish();
}

} // namespace zendb
