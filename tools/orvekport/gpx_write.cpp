#include "tools/orvekport/gpx_write.h"

#include <windows.h>

#include "tools/common/gpx_text.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"

namespace orvek::cli {
namespace {

void add_text_element(std::string* out, const char* tag, const std::string& utf8) {
  if (utf8.empty()) return;
  *out += std::string("    <") + tag + ">" + tools::xml_escaped(utf8) + "</" +
          tag + ">\n";
}

std::string failure(const char* what, const std::wstring& path) {
  DWORD code = GetLastError();
  return std::string(what) + " " + tools::narrow(CP_UTF8, path) + ": " +
         tools::system_text(code);
}

}  // namespace

// <wpt lat="-33.856784" lon="151.215297">
//   <ele>4.5</ele><name>Opera &amp; Quay</name><desc>...</desc><sym>12</sym>
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

bool write_file_whole(const std::wstring& path, const std::string& bytes,
                      std::string* error) {
  // Beside the target, so the rename stays on its volume.
  std::wstring temporary =
      path + L".tmp" + std::to_wstring(GetCurrentProcessId());
  {
    tools::FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      *error = failure("can't create", temporary);
      return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.get())) {
      *error = failure("can't write", temporary);
      file.reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = failure("can't rename the finished file to", path);
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace orvek::cli
