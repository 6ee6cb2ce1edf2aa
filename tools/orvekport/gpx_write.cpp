#include "tools/orvekport/gpx_write.h"

#include "tools/common/gpx_text.h"

namespace orvek::cli {
namespace {

void add_text_element(std::string* out, const char* tag, const std::string& utf8) {
  if (utf8.empty()) return;
  *out += std::string("    <") + tag + ">" + tools::xml_escaped(utf8) + "</" +
          tag + ">\n";
}

}  // namespace

// <wpt lat="-33.856784" lon="151.215297">
//   <ele>4.5</ele><name>Opera &amp; Quay</name><desc>...</desc><sym>flag</sym>
// </wpt>
std::string gpx_document(const std::vector<GpxPoint>& points) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"orvekport\" "
      "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
  for (const GpxPoint& point : points) {
    out += "  <wpt lat=\"" + tools::gpx_number(point.latitude) + "\" lon=\"" +
           tools::gpx_number(point.longitude) + "\">\n";
    // The schema's order: ele, name, desc, sym.
    if (point.elevation)
      out += "    <ele>" + tools::gpx_number(*point.elevation) + "</ele>\n";
    add_text_element(&out, "name", point.name);
    add_text_element(&out, "desc", point.description);
    add_text_element(&out, "sym", point.symbol);
    out += "  </wpt>\n";
  }
  out += "</gpx>\n";
  return out;
}

}  // namespace orvek::cli
