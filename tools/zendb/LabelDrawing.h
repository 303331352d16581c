// Sample labels for label printers: per sample a barcode of its identifier
// (Code 128, or QR Code for identifiers beyond ASCII) with the identifier in
// plain text under it and a few registration values, one label per page, in
// the label size of the station configuration ([Labels] Width, Height in mm).
#pragma once

#include "ReportDrawing.h"

#include <string>
#include <utility>
#include <vector>

namespace zendb {

enum class ESymbology {
    Code128,    // printable ASCII only (blanks, '#', '%' included)
    QrCode,     // any UTF-8 text, marked as UTF-8 (ECI 26)
};

// The symbology named on the command line ("code128", "qr"); CUsageError otherwise.
ESymbology ParseSymbology(const std::string& name);

// Label size in millimetres.
struct CLabelSize {
    double width = 50.0;
    double height = 30.0;
};
// Limits of a label side, in millimetres.
constexpr double kLabelMinWidth = 25.0;
constexpr double kLabelMinHeight = 15.0;
constexpr double kLabelMaxSide = 300.0;

// [Labels] Width and Height of the station configuration; 50 x 30 mm for
// those not set. CToolError naming the setting when a value is not a number
// of millimetres within the limits above.
CLabelSize ConfiguredLabelSize();

// What one label shows besides the barcode: the identifier and the lines
// (field label, value) under it; lines with an empty value are left out.
struct CLabel {
    std::string id;
    std::vector<std::pair<std::string, std::string>> lines;
};

// Writes the labels to path (.pdf: one page of the label size per label;
// .svg and .png: the labels one below the other), PNG at dpi pixels per inch.
// Every barcode is encoded and fitted before the file is made, so a refusal
// leaves no file. CToolError when an identifier cannot be carried by the
// symbology (naming the identifier), when a barcode would need modules
// narrower than can be printed readably on the label (naming the identifier
// and the label size), when a module would be narrower than one pixel at dpi,
// or when the file cannot be written.
void WriteLabels(const std::string& path, const std::vector<CLabel>& labels, const CLabelSize& size,
                 ESymbology symbology, int dpi);

} // namespace zendb
