// cuc: sample files (".CUC") as text: CSV for spreadsheets (the default) or
// one JSON object per file. Needs neither a parameter file nor the driver.
#include <cstdio>
#include <string>
#include <vector>

#include "port/File.h"
#include "util/SampleFile.h"
#include "zlpoll/Commands.h"
#include "zlpoll/Options.h"
#include "zlpoll/Output.h"

namespace zl::poll {

namespace {

// The row's time stamp as the controller keeps it: a two-digit year.
std::string StampText(const SampleFileRow &row) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u-%02u-%02u %02u:%02u:%02u", row.Stamp[0], row.Stamp[1],
                row.Stamp[2], row.Stamp[3], row.Stamp[4], row.Stamp[5]);
  return text;
}

// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string &text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

int RunCuc(const Options &opt) {
  if (opt.Args.empty()) {
    PrintError("cuc needs at least one sample file: zlpoll cuc FILE...");
    return kExitUsage;
  }
  if (!opt.Json) PrintLine("file,row,time,status,v1,v2,v3,v4,v5,v6,v7,v8");
  int exit = kExitOk;
  std::vector<SampleFileRow> rows;
  for (const std::string &path : opt.Args) {
    std::string bytes;
    if (!ReadRegularFile(path, bytes, std::size_t{1} << 20)) {
      PrintError(path + ": cannot be read");
      exit = kExitInit;
      continue;
    }
    if (!DecodeSampleFile(bytes, rows)) {
      PrintError(path + ": not a sample file (" + std::to_string(kSampleFileBytes) +
                 " bytes expected, " + std::to_string(bytes.size()) + " found)");
      exit = kExitInit;
      continue;
    }
    Json file = Json::object();
    file["file"] = path;
    file["rows"] = Json::array();
    const std::string name = CsvField(path);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const SampleFileRow &row = rows[r];
      if (opt.Json) {
        Json values = Json::array();
        for (double v : row.Values) values.push_back(JsonNumber(v));
        file["rows"].push_back(Json{
            {"row", r + 1}, {"time", StampText(row)}, {"status", row.Status}, {"values", values}});
        continue;
      }
      std::string line = name + "," + std::to_string(r + 1) + "," + StampText(row) + "," +
                         std::to_string(row.Status);
      for (double v : row.Values) line += "," + JsonText(JsonNumber(v));
      PrintLine(line);
    }
    if (opt.Json) PrintJson(file);
  }
  return exit;
}

}  // namespace zl::poll
