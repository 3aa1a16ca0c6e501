// check: the parameter file read as Init reads it, with every place where
// Init would refuse it or where the driver takes it otherwise than written.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "config/ParameterSet.h"
#include "util/Text.h"
#include "util/Texts.h"
#include "zlpoll/Commands.h"
#include "zlpoll/Options.h"

namespace zl::poll {

std::vector<LoadFinding> CheckParameterFile(const std::string &path, bool &loaded) {
  std::vector<LoadFinding> findings;
  LoadContext ctx;
  ctx.FindingSink = [&](const LoadFinding &f) { findings.push_back(f); };
  ParameterSet set;
  SetDefaults(set);
  // The reader takes a native path when it is absolute (as Init is given it).
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  loaded = ReadParameterPath(ctx, ec ? path : absolute, set);
  const bool refused =
      std::any_of(findings.begin(), findings.end(), [](const LoadFinding &f) { return f.Refused; });
  // A file that cannot be read has no place to point at.
  if (!loaded && !refused)
    findings.push_back({{}, true, std::string(ctx.ErrorText, ::strnlen(ctx.ErrorText, 80))});
  std::stable_sort(findings.begin(), findings.end(),
                   [](const LoadFinding &a, const LoadFinding &b) { return a.At < b.At; });
  for (LoadFinding &f : findings) f.Text = Utf8FromCp1250(f.Text);
  return findings;
}

int RunCheck(const Options &opt, const Style &out) {
  if (!opt.Args.empty()) {
    PrintError("check takes no arguments");
    return kExitUsage;
  }
  const std::string &path = opt.ParameterFile;
  bool loaded = false;
  const std::vector<LoadFinding> findings = CheckParameterFile(path, loaded);
  if (opt.Json) {
    Json list = Json::array();
    for (const LoadFinding &f : findings) {
      list.push_back(
          {{"line", f.At.Line}, {"column", f.At.Column}, {"refused", f.Refused}, {"text", f.Text}});
    }
    PrintJson({{"file", path}, {"loads", loaded}, {"findings", std::move(list)}});
  } else {
    const std::string refused = Utf8FromCp1250(Say(TextId::FindingRefused));
    const std::string changed = Utf8FromCp1250(Say(TextId::FindingChanged));
    for (const LoadFinding &f : findings) {
      const std::string where =
          f.At.Line ? path + ":" + std::to_string(f.At.Line) + ":" + std::to_string(f.At.Column)
                    : path;
      PrintLine(out.Bold(where) + ": " + (f.Refused ? out.Red(refused) : out.Yellow(changed)) +
                ": " + f.Text);
    }
    if (findings.empty()) PrintLine(path + ": the driver loads it as written");
  }
  return findings.empty() ? kExitOk : kExitInit;
}

}  // namespace zl::poll
