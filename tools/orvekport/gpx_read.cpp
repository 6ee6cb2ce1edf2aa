#include "tools/orvekport/gpx_read.h"

#include <windows.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string_view>
#include <utility>

#include "tools/common/text.h"
#include "tools/common/win_files.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"

namespace orvek::cli {
namespace {

constexpr wchar_t kGpx10[] = L"http://www.topografix.com/GPX/1/0";
constexpr wchar_t kGpx11[] = L"http://www.topografix.com/GPX/1/1";
// MX_E_INPUTEND as an HRESULT (the enum's value does not fit a long).
constexpr HRESULT kInputEnd = static_cast<HRESULT>(0xC00CEE01);

std::string utf8_of(const wchar_t* text, UINT length) {
  return tools::narrow(CP_UTF8, std::wstring_view(text, length));
}

// Input quoted in a message: its first characters, whatever its length.
std::string excerpt(const std::string& utf8) {
  return tools::quoted_excerpt(utf8, tools::kExcerptBytes);
}

// The encoding an XML declaration names ("UTF-8", "ISO-8859-1"), lower
// case, or "" when the file begins with none or names none.
std::string declared_encoding(std::string_view bytes) {
  if (!bytes.starts_with("<?xml")) return "";
  std::string_view declaration = bytes.substr(0, bytes.find("?>"));
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return "";
  at = declaration.find_first_of("\"'", at);
  if (at == std::string_view::npos) return "";
  std::size_t end = declaration.find(declaration[at], at + 1);
  std::string name(declaration.substr(at + 1, end - at - 1));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// What XmlLite tells badly or not at all, found in the file's bytes: a NUL
// byte, which no XML file may hold, and in a file of UTF-8 (a UTF-8 BOM,
// a declaration of UTF-8 or of no encoding) bytes that are no UTF-8, which
// it would read as U+FFFD. "line 3, column 28: ...", or "" when neither is
// there. UTF-16 files are XmlLite's alone.
std::string byte_problem(std::string_view bytes) {
  bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
               bytes.starts_with(std::string_view("<\0", 2)) ||
               bytes.starts_with(std::string_view("\0<", 2));
  if (utf16) return "";
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::string encoding = declared_encoding(bytes);
  bool utf8 = encoding.empty() || encoding == "utf-8" || encoding == "utf8";
  unsigned line = 1, column = 1;
  for (std::size_t at = 0; at < bytes.size(); ++column) {
    auto where = [&] {
      return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    };
    std::size_t start = at;
    if (bytes[at] == '\0') return where() + "a NUL byte, which XML does not allow";
    if (bytes[at] == '\n') {
      ++line;
      column = 0;
    }
    if (!utf8) {
      ++at;
    } else if (!tools::next_code_point(bytes, &at)) {
      std::string shown;
      for (std::size_t i = start; i < bytes.size() && i < start + 4; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 && i > start) break;
        shown += std::string(shown.empty() ? "" : " ") + "0x" +
                 tools::kHexDigits[c >> 4] + tools::kHexDigits[c & 0xF];
      }
      return where() + "bytes that are not UTF-8 (" + shown +
             "), though the file is read as UTF-8; save it as UTF-8, or "
             "declare its encoding";
    }
  }
  return "";
}

// What XmlLite's error codes mean to someone holding the file.
std::string xml_error_text(HRESULT result) {
  switch (static_cast<unsigned long>(result)) {
    case MX_E_INPUTEND:
      return "the file ends inside the document (cut off?)";
    case MX_E_ENCODING:
    case MX_E_ENCODINGSWITCH:
    case MX_E_ENCODINGSIGNATURE:
    case XML_E_INVALIDENCODING:
      return "bytes that are not valid in the file's encoding";
    case WC_E_SYNTAX:
      return "not XML: text where markup was expected";
    case WC_E_ROOTELEMENT:
      return "text after the root element";
    case WC_E_QUOTE:
    case WC_E_GREATERTHAN:
      return "a tag left open: a quote or '>' missing, or the file cut off";
    case WC_E_ELEMENTMATCH:
      return "an end tag that does not match its start tag";
    case WC_E_ENTITYCONTENT:
    case WC_E_UNDECLAREDENTITY:
      return "an undefined entity ('&' must be written &amp;)";
    case WC_E_LESSTHAN:
      return "a '<' inside an attribute value";
    case WC_E_DTDPROHIBITED:
      return "a DTD, which is not read";
    case WC_E_ENCNAME:
      return "an encoding the system's XML reader can't read; save the file "
             "as UTF-8";
    case WC_E_XMLCHARACTER:
      return "a character XML does not allow";
    case WC_E_UNIQUEATTRIBUTE:
      return "an attribute given twice in one tag";
    case WC_E_NAME:
    case WC_E_NAMECHARACTER:
      return "a tag or attribute name that is not a name";
    case WC_E_COMMENT:
      return "a comment left open";
    case WC_E_CDSECT:
    case WC_E_CDSECTEND:
      return "a CDATA section left open";
    case NC_E_UNDECLAREDPREFIX:
      return "a namespace prefix that was not declared";
    case SC_E_MAXELEMENTDEPTH:
      return "elements nested deeper than the XML reader allows";
    case SC_E_MAXENTITYEXPANSION:
      return "entities that expand beyond what the XML reader allows";
    default:
      break;
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  return std::string("not well-formed XML (XmlLite error ") + code + ")";
}

// An xsd:decimal in [-limit, limit]: blanks around it, an optional sign.
std::optional<double> decimal(std::string_view text, double limit) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                           text.front() == '\n' || text.front() == '\r'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' ||
                           text.back() == '\n' || text.back() == '\r'))
    text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(),
                                      value, std::chars_format::fixed);
  if (error != std::errc{} || end != text.data() + text.size() ||
      !std::isfinite(value) || std::fabs(value) > limit)
    return std::nullopt;
  return value;
}

// Reads the document node by node; the first problem ends it.
class GpxReader {
 public:
  explicit GpxReader(IXmlReader* xml) : xml_(xml) {}

  bool read(std::vector<GpxWaypoint>* out, std::string* error) {
    XmlNodeType type = XmlNodeType_None;
    HRESULT result;
    while ((result = xml_->Read(&type)) == S_OK) {
      // Wine's XmlLite meets the end of the input inside an element with
      // made-up nodes instead of an error: an end tag of the open element,
      // or endless empty whitespace, placed back at an earlier node. Nodes
      // come in document order, so one placed before its predecessor means
      // the input ended there. (After the root ends Wine places the last
      // whitespace back too, which is harmless.)
      UINT line = 0, column = 0;
      xml_->GetLineNumber(&line);
      xml_->GetLinePosition(&column);
      if (depth_ > 0 &&
          (line < last_line_ || (line == last_line_ && column < last_column_)))
        return fail(xml_error_text(kInputEnd), error);
      last_line_ = line;
      last_column_ = column;
      bool ok = true;
      if (type == XmlNodeType_Element)
        ok = start_element();
      else if (type == XmlNodeType_EndElement)
        ok = end_element();
      else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA ||
               type == XmlNodeType_Whitespace)
        ok = text();
      if (!ok) return fail(problem_, error);
    }
    if (result == kInputEnd && !seen_root_) result = S_FALSE;
    if (FAILED(result)) return fail(xml_error_text(result), error);
    if (!seen_root_) return fail("not XML: the file holds no element", error);
    if (depth_ != 0) return fail(xml_error_text(kInputEnd), error);
    *out = std::move(waypoints_);
    return true;
  }

 private:
  // Where the reader stands, then `what`.
  bool fail(const std::string& what, std::string* error) {
    UINT line = 0, column = 0;
    xml_->GetLineNumber(&line);
    xml_->GetLinePosition(&column);
    *error = "line " + std::to_string(line) + ", column " +
             std::to_string(column) + ": " + what;
    return false;
  }

  std::wstring_view local_name() {
    const wchar_t* name = nullptr;
    UINT length = 0;
    if (FAILED(xml_->GetLocalName(&name, &length)) || name == nullptr) return {};
    return {name, length};
  }
  std::wstring_view namespace_uri() {
    const wchar_t* uri = nullptr;
    UINT length = 0;
    if (FAILED(xml_->GetNamespaceUri(&uri, &length)) || uri == nullptr) return {};
    return {uri, length};
  }
  // An attribute without a namespace, or nothing. A value longer than any
  // coordinate is not copied whole (it may be megabytes): *cut says so and
  // its first characters stand for it.
  std::optional<std::string> attribute(const wchar_t* name, bool* cut) {
    constexpr UINT kLongest = 4 * tools::kExcerptBytes;
    std::optional<std::string> value;
    *cut = false;
    if (xml_->MoveToAttributeByName(name, nullptr) == S_OK) {
      const wchar_t* text = nullptr;
      UINT length = 0;
      if (SUCCEEDED(xml_->GetValue(&text, &length)) && text != nullptr) {
        *cut = length > kLongest;
        value = utf8_of(text, *cut ? kLongest : length);
      }
    }
    xml_->MoveToElement();
    return value;
  }

  bool start_element() {
    // Read before anything moves to the attributes.
    bool empty = xml_->IsEmptyElement() != FALSE;
    std::wstring_view name = local_name();
    std::wstring_view uri = namespace_uri();
    if (depth_ == 0) {
      if (name != L"gpx" || (uri != kGpx10 && uri != kGpx11)) {
        problem_ = "not GPX: the root element is <" +
                   excerpt(tools::narrow(CP_UTF8, name)) + "> in namespace '" +
                   excerpt(tools::narrow(CP_UTF8, uri)) +
                   "', not <gpx> of GPX 1.0 or 1.1";
        return false;
      }
      seen_root_ = true;
      gpx_namespace_ = uri;
    } else if (depth_ == 1 && name == L"wpt" && uri == gpx_namespace_) {
      if (!start_waypoint()) return false;
      if (empty) finish_waypoint();
    } else if (depth_ == 2 && in_waypoint_ && uri == gpx_namespace_) {
      field_ = nullptr;
      GpxWaypoint& w = waypoints_.back();
      if (name == L"name") field_ = &w.name;
      else if (name == L"desc") field_ = &w.description;
      else if (name == L"cmt") field_ = &w.comment;
      else if (name == L"sym") field_ = &w.symbol;
      else if (name == L"ele") field_ = &elevation_text_;
      if (field_ != nullptr) field_->emplace();
      if (empty) field_ = nullptr;
    }
    if (!empty) ++depth_;
    return true;
  }

  bool start_waypoint() {
    GpxWaypoint w;
    xml_->GetLineNumber(&w.line);
    bool lat_cut = false, lon_cut = false;
    std::optional<std::string> lat = attribute(L"lat", &lat_cut);
    std::optional<std::string> lon = attribute(L"lon", &lon_cut);
    if (!lat || !lon) {
      problem_ = std::string("<wpt> without its ") +
                 (!lat && !lon ? "lat and lon attributes"
                  : !lat       ? "lat attribute"
                               : "lon attribute");
      return false;
    }
    std::optional<double> latitude =
        lat_cut ? std::nullopt : decimal(*lat, 90);
    std::optional<double> longitude =
        lon_cut ? std::nullopt : decimal(*lon, 180);
    if (!latitude || !longitude) {
      problem_ = !latitude ? "<wpt> lat=\"" + excerpt(*lat) +
                                 "\" is not a latitude (decimal degrees, -90 to 90)"
                           : "<wpt> lon=\"" + excerpt(*lon) +
                                 "\" is not a longitude (decimal degrees, -180 to 180)";
      return false;
    }
    w.latitude = *latitude;
    w.longitude = *longitude;
    waypoints_.push_back(std::move(w));
    in_waypoint_ = true;
    elevation_text_.reset();
    return true;
  }

  bool finish_waypoint() {
    in_waypoint_ = false;
    if (!elevation_text_) return true;
    // Metres; the deepest trench and the highest peak are well inside.
    std::optional<double> elevation = decimal(*elevation_text_, 1e6);
    if (!elevation) {
      problem_ = "<ele>" + excerpt(*elevation_text_) +
                 "</ele> is not a number of metres";
      return false;
    }
    waypoints_.back().elevation = elevation;
    return true;
  }

  bool end_element() {
    --depth_;
    if (depth_ == 2) field_ = nullptr;
    if (depth_ == 1 && in_waypoint_) return finish_waypoint();
    return true;
  }

  bool text() {
    const wchar_t* value = nullptr;
    UINT length = 0;
    if (FAILED(xml_->GetValue(&value, &length)) || value == nullptr) length = 0;
    // No document has an empty text node: see read().
    if (length == 0) {
      problem_ = xml_error_text(kInputEnd);
      return false;
    }
    if (field_ != nullptr && depth_ == 3) **field_ += utf8_of(value, length);
    return true;
  }

  IXmlReader* xml_;
  std::vector<GpxWaypoint> waypoints_;
  std::string problem_;
  std::wstring gpx_namespace_;
  int depth_ = 0;  // elements open
  UINT last_line_ = 0, last_column_ = 0;  // where the last node stood
  bool seen_root_ = false;
  bool in_waypoint_ = false;
  std::optional<std::string>* field_ = nullptr;  // the text being gathered
  std::optional<std::string> elevation_text_;
};

}  // namespace

std::optional<std::vector<GpxWaypoint>> read_gpx_waypoints(
    const std::wstring& path, std::string* error) {
  if (std::optional<std::string> bytes = tools::read_whole_file(path)) {
    if (std::string problem = byte_problem(*bytes); !problem.empty()) {
      *error = problem;
      return std::nullopt;
    }
  }
  tools::ComOwner<IStream> stream;
  HRESULT result = SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                          FILE_ATTRIBUTE_NORMAL, FALSE, nullptr,
                                          stream.put());
  if (FAILED(result)) {
    *error = "can't open it: " + tools::system_text(static_cast<DWORD>(result));
    return std::nullopt;
  }
  // mingw-w64 ships xmllite.h but no import library for it, so the one
  // entry point needed is looked up in the system's xmllite.dll, which
  // stays loaded for the rest of the run.
  using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
  HMODULE xmllite = LoadLibraryW(L"xmllite.dll");
  auto create_reader =
      xmllite == nullptr
          ? nullptr
          : reinterpret_cast<CreateXmlReaderFunction>(
                reinterpret_cast<void*>(GetProcAddress(xmllite, "CreateXmlReader")));
  if (create_reader == nullptr) {
    *error = "the system's XML reader (xmllite.dll) is not there";
    return std::nullopt;
  }
  tools::ComOwner<IXmlReader> xml;
  if (FAILED(create_reader(__uuidof(IXmlReader),
                           reinterpret_cast<void**>(xml.put()), nullptr)) ||
      FAILED(xml.get()->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
      FAILED(xml.get()->SetInput(stream.get()))) {
    *error = "XmlLite could not be set up to read it";
    return std::nullopt;
  }
  std::vector<GpxWaypoint> waypoints;
  if (!GpxReader(xml.get()).read(&waypoints, error)) return std::nullopt;
  return waypoints;
}

}  // namespace orvek::cli
