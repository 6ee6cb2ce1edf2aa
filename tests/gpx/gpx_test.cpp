// The GPX reader, writer and track under Wine, in-process: the reader is
// the system's XmlLite, so these pin what Wine's gives us as well as our
// own rules. gpsbabel checks the same files from outside (gpx-tests.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/common/gpx_text.h"
#include "tools/orvek-feed/gpx_track.h"
#include "tools/orvekport/gpx_read.h"
#include "tools/orvekport/gpx_write.h"
#include "tools/common/win_files.h"

namespace orvek::cli {
namespace {

// A file of its own in the temporary folder, removed at the end.
class TempFile {
 public:
  explicit TempFile(const char* tag) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + L"orvek-gpx-" + std::to_wstring(GetCurrentProcessId()) +
            L"-" + std::wstring(tag, tag + std::strlen(tag)) + L".gpx";
  }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  void write(const std::string& bytes) const {
    std::string error;
    ASSERT_TRUE(tools::write_file_whole(path_, bytes, &error)) << error;
  }
  std::string read() const { return tools::read_whole_file(path_).value_or(""); }
  const std::wstring& path() const { return path_; }
  std::string narrow_path() const { return std::string(path_.begin(), path_.end()); }

 private:
  std::wstring path_;
};

constexpr char kHead11[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";

// Reads `document`; "error: ..." or one line per waypoint.
std::string read_text(const std::string& document) {
  TempFile file("read");
  file.write(document);
  std::string error;
  auto waypoints = read_gpx_waypoints(file.path(), &error);
  if (!waypoints) return "error: " + error;
  std::string out;
  for (const GpxWaypoint& w : *waypoints)
    out += w.name.value_or("-") + "|" + tools::gpx_number(w.latitude) + "|" +
           tools::gpx_number(w.longitude) + "|" +
           (w.elevation ? tools::gpx_number(*w.elevation) : "-") + "|" +
           w.description.value_or("-") + "|" + w.comment.value_or("-") + "|" +
           w.symbol.value_or("-") + "\n";
  return out;
}

TEST(GpxRead, TakesTheWaypointsOfBothVersions) {
  struct Case {
    const char* what;
    std::string document;
    std::string expected;
  };
  const Case cases[] = {
      {"GPX 1.0 with gpsbabel's header elements",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\">\n"
       "<time>2026-12-07T20:29:12Z</time><bounds minlat=\"1\" minlon=\"2\" maxlat=\"3\" "
       "maxlon=\"4\"/>\n"
       "<wpt lat=\"-33.856784000\" lon=\"151.215297000\"><ele>4.500</ele><name>OPERA</name>"
       "<cmt>c</cmt><desc>Opera &amp; Quay</desc><sym>12</sym></wpt>\n</gpx>\n",
       "OPERA|-33.856784|151.215297|4.5|Opera & Quay|c|12\n"},
      {"GPX 1.1, a prefixed namespace, CDATA, character references, UTF-8",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<g:gpx version=\"1.1\" xmlns:g=\"http://www.topografix.com/GPX/1/1\">"
       "<g:wpt lat=\"+47.5\" lon=\" -0.25 \"><g:name><![CDATA[a<b]]>&#233;\xC3\xBC</g:name>"
       "</g:wpt></g:gpx>",
       "a<b\xC3\xA9\xC3\xBC|47.5|-0.25|-|-|-|-\n"},
      {"elements of other namespaces and nesting are passed over",
       std::string(kHead11) +
           "<metadata><name>not a waypoint</name></metadata>"
           "<wpt lat=\"0\" lon=\"180\"><name>E</name><link href=\"x\"><text>t</text></link>"
           "<extensions><x:name xmlns:x=\"urn:x\">no</x:name></extensions></wpt>"
           "<wpt lat=\"-90\" lon=\"-180\"/>"
           "<rte><rtept lat=\"1\" lon=\"1\"><name>R</name></rtept></rte>"
           "<trk><trkseg><trkpt lat=\"1\" lon=\"1\"/></trkseg></trk></gpx>",
       "E|0|180|-|-|-|-\n-|-90|-180|-|-|-|-\n"},
      {"comments, a processing instruction and texts over several lines",
       std::string(kHead11) +
           "<!-- planned -->\n<?route-planner v=2?>\n"
           "<wpt lat=\"1\" lon=\"2\">\n  <!-- depot -->\n  <desc>north\ngate\n</desc>\n"
           "  <name>\n    D1\n  </name>\n</wpt>\n<!-- end -->\n</gpx>\n",
       "\n    D1\n  |1|2|-|north\ngate\n|-|-\n"},
      {"empty texts stay present", std::string(kHead11) +
           "<wpt lat=\"1\" lon=\"2\"><name/><desc></desc><ele>-11034.5</ele></wpt></gpx>",
       "|1|2|-11034.5||-|-\n"},
      {"a file without waypoints", std::string(kHead11) + "</gpx>", ""},

  };
  for (const Case& c : cases) EXPECT_EQ(read_text(c.document), c.expected) << c.what;
}

TEST(GpxRead, RefusesWhatIsNotAWholeGpxFile) {
  const std::string wpt = "<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>";
  std::string nested;
  for (int depth = 0; depth < 300; ++depth) nested += "<a>";
  struct Case {
    const char* what;
    std::string document;
    std::string message;
  };
  const Case cases[] = {
      {"empty", "", "not XML"},
      {"plain text", "hello, not xml\n", "not XML"},
      {"another root", "<kml xmlns=\"http://www.opengis.net/kml/2.2\"/>", "not GPX"},
      {"gpx without its namespace", "<gpx version=\"1.1\">" + wpt + "</gpx>", "not GPX"},
      {"cut after a waypoint", kHead11 + wpt, "cut off"},
      {"cut inside an element", kHead11 + std::string("<wpt lat=\"1\" lon=\"2\"><name>A"),
       "cut off"},
      {"cut inside a tag", kHead11 + std::string("<wpt lat=\"1"), "line 3"},
      {"crossed tags", kHead11 + std::string("<wpt lat=\"1\" lon=\"2\"><name>A</wpt></name></gpx>"),
       "line 3"},
      {"no lat", kHead11 + std::string("<wpt lon=\"2\"/></gpx>"), "without its lat attribute"},
      {"neither", kHead11 + std::string("<wpt/></gpx>"), "lat and lon"},
      {"latitude out of range", kHead11 + std::string("<wpt lat=\"90.5\" lon=\"2\"/></gpx>"),
       "not a latitude"},
      {"longitude not a number", kHead11 + std::string("<wpt lat=\"1\" lon=\"2E\"/></gpx>"),
       "not a longitude"},
      {"nan", kHead11 + std::string("<wpt lat=\"nan\" lon=\"2\"/></gpx>"), "not a latitude"},
      {"ele not a number",
       kHead11 + std::string("<wpt lat=\"1\" lon=\"2\"><ele>high</ele></wpt></gpx>"),
       "not a number of metres"},
      // Causes in words, where they are: XmlLite alone gives an error number,
      // "line 0, column 0", or text made of U+FFFD.
      {"nested too deep", kHead11 + nested,
       "nested deeper than the XML reader allows"},
      {"a NUL byte", kHead11 + std::string("<wpt lat=\"1\" lon=\"2\"><name>A\0B", 30),
       "line 3, column 29: a NUL byte"},
      {"bytes that are no UTF-8", std::string(kHead11) + "<wpt lat=\"1\" lon=\"2\"><name>B\xFF\xFE" "AD",
       "line 3, column 29: bytes that are not UTF-8 (0xFF 0xFE)"},
      // Wine's XmlLite reads UTF-8 and UTF-16 only.
      {"an encoding the reader can't read",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
       "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\"></gpx>",
       "an encoding the system's XML reader can't read"},
      // A value of any length is quoted by its first characters.
      {"a huge attribute", std::string(kHead11) + "<wpt lat=\"1" + std::string(1 << 20, '1') + "\" lon=\"2\"/>",
       "lat=\"" + std::string(60, '1') + "...\" is not a latitude"},
  };
  for (const Case& c : cases) {
    std::string got = read_text(c.document);
    EXPECT_EQ(got.rfind("error: line ", 0), 0u) << c.what << ": " << got;
    EXPECT_NE(got.find(c.message), std::string::npos) << c.what << ": " << got;
    EXPECT_LT(got.size(), 300u) << c.what << ": a message of a line or two";
  }
}

TEST(GpxWrite, WhatIsWrittenReadsBackExactly) {
  const std::vector<GpxPoint> points = {
      {-33.856784, 151.215297, 4.5, "Opera & Quay", "said \"hi\" <now>", "12"},
      {0.1, -179.999999, -430.5, "Apostrophe's", "", ""},
      {89.9999999999, 180, std::nullopt, "Caf\xC3\xA9 \xE6\x9D\xB1", "tab\there", "7"},
      {-0.000001, 1e-7, 8848.86, "x", "bell\x07", ""},
  };
  TempFile file("write");
  file.write(gpx_document(points));
  EXPECT_EQ(read_text(file.read()),
            "Opera & Quay|-33.856784|151.215297|4.5|said \"hi\" <now>|-|12\n"
            "Apostrophe's|0.1|-179.999999|-430.5|-|-|-\n"
            "Caf\xC3\xA9 \xE6\x9D\xB1|89.9999999999|180|-|tab\there|-|7\n"
            "x|-0.000001|0.0000001|8848.86|bell?|-|-\n");
}

TEST(GpxWrite, AFailedWriteLeavesTheOldFile) {
  TempFile file("keep");
  file.write("old");
  std::string error;
  // A folder that does not exist: the temporary file can't be made.
  EXPECT_FALSE(tools::write_file_whole(L"Z:\\no\\such\\folder\\x.gpx", "new", &error));
  EXPECT_NE(error.find("can't create"), std::string::npos) << error;
  file.write("new");
  EXPECT_EQ(file.read(), "new");
}

TEST(GpxTrack, TimesAndDates) {
  EXPECT_EQ(feed::gpx_time("2022-10-18", 41578000), "2022-10-18T11:32:58Z");
  EXPECT_EQ(feed::gpx_time("2022-10-18", 41578250), "2022-10-18T11:32:58.250Z");
  EXPECT_EQ(feed::gpx_time("1999-12-31", 86399999), "1999-12-31T23:59:59.999Z");
  EXPECT_EQ(feed::add_days("2024-02-28", 1), "2024-02-29");
  EXPECT_EQ(feed::add_days("2023-12-31", 1), "2024-01-01");
}

TEST(GpxTrack, IsWholeAfterEveryPointWithSegmentsWhereBroken) {
  TempFile file("track");
  feed::GpxTrack track;
  std::string error;
  ASSERT_TRUE(track.open(file.narrow_path(), "TR<1>", &error)) << error;
  EXPECT_EQ(read_text(file.read()), "") << "an empty track is a whole file";
  // (latitude, seconds, break before); a fix without altitude has no <ele>.
  const struct {
    double latitude;
    uint32_t second;
    bool break_before;
  } steps[] = {{1.5, 10, false}, {1.25, 11, false}, {-2, 14, true}, {-2.5, 15, false}};
  int step_number = 0;
  for (const auto& step : steps) {
    if (step.break_before) track.break_segment();
    feed::Fix fix;
    fix.latitude = step.latitude;
    fix.longitude = -108.5;
    fix.has_altitude = step.second != 11;
    fix.altitude_msl_m = -12.5;
    fix.has_time = true;
    fix.utc_ms = step.second * 1000;
    fix.utc_date = "2022-10-18";
    track.add(fix);
    std::string bytes = file.read();
    EXPECT_EQ(read_text(bytes), "") << "not whole after point " << step_number << ":\n"
                                    << bytes;
    ++step_number;
  }
  std::string bytes = file.read();
  EXPECT_NE(bytes.find("<name>TR&lt;1&gt;</name>"), std::string::npos);
  EXPECT_NE(bytes.find("<trkpt lat=\"1.25\" lon=\"-108.5\"><time>2022-10-18T00:00:11Z"),
            std::string::npos)
      << bytes;
  EXPECT_NE(bytes.find("<ele>-12.5</ele><time>2022-10-18T00:00:14Z</time></trkpt>"),
            std::string::npos)
      << bytes;
  std::size_t segments = 0;
  for (std::size_t at = 0; (at = bytes.find("<trkseg>", at)) != std::string::npos; ++at)
    ++segments;
  EXPECT_EQ(segments, 2u);
  EXPECT_EQ(track.points(), 4u);
}

}  // namespace
}  // namespace orvek::cli
