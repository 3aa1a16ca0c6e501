#include "common/CommandLine.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace zl::tools {

namespace {

// The help opens with the tool's own usage lines rather than CLI11's summary.
class UsageFormatter : public CLI::Formatter {
 public:
  explicit UsageFormatter(std::string usage) : usage_(std::move(usage)) {}
  std::string make_usage(const CLI::App *, std::string) const override {
    return "usage: " + usage_ + "\n";
  }

 private:
  std::string usage_;
};

// An option with one value per occurrence, repeatable; check turns the text
// into the stored value or answers the message for a value it refuses.
CLI::Option *AddChecked(CLI::App &app, const std::string &name, const std::string &typeName,
                        std::function<bool(const std::string &)> check, const std::string &takes,
                        const std::string &description) {
  auto each = [name, check, takes](const std::vector<std::string> &values) {
    for (const std::string &v : values)
      if (!check(v)) throw CLI::ValidationError(name + " takes " + takes + ", not \"" + v + "\"");
  };
  return app.add_option_function<std::vector<std::string>>(name, each, description)
      ->type_name(typeName)
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// The first word CLI11 did not take, without an "=VALUE" of its own.
std::string OptionName(const std::string &word) {
  const std::size_t eq = word.find('=');
  return word.rfind("--", 0) == 0 && eq != std::string::npos ? word.substr(0, eq) : word;
}

}  // namespace

CLI::Option *AddWholeNumber(CLI::App &app, const std::string &name, long long lo, long long hi,
                            std::function<void(long long)> store, const std::string &description) {
  auto check = [lo, hi, store](const std::string &text) {
    long long n = 0;
    if (!ParseInt(text, lo, hi, n)) return false;
    store(n);
    return true;
  };
  return AddChecked(app, name, "N", check,
                    "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi),
                    description);
}

CLI::Option *AddSeconds(CLI::App &app, const std::string &name, double &field, double max,
                        const std::string &description) {
  auto check = [&field, max](const std::string &text) {
    double v = 0;
    if (!ParseNumber(text, v) || v <= 0.0 || v > max) return false;
    field = v;
    return true;
  };
  return AddChecked(app, name, "S", check, "a number of seconds above 0", description);
}

CLI::Option *AddFraction(CLI::App &app, const std::string &name, double &field,
                         const std::string &description) {
  auto check = [&field](const std::string &text) {
    double v = 0;
    if (!ParseNumber(text, v) || v < 0.0 || v > 1.0) return false;
    field = v;
    return true;
  };
  return AddChecked(app, name, "P", check, "a fraction from 0 to 1", description);
}

CLI::Option *AddText(CLI::App &app, const std::string &name, std::string &field,
                     const std::string &description) {
  auto store = [&field](const std::string &text) {
    field = text;
    return true;
  };
  return AddChecked(app, name, "TEXT", store, "a text", description);
}

void SetUpApp(CLI::App &app, const std::string &usage) {
  app.formatter(std::make_shared<UsageFormatter>(usage));
  app.set_version_flag("--version", app.get_name() + " " + ZL_TOOLS_VERSION);
}

bool Parse(CLI::App &app, const std::vector<std::string> &args, bool &help, std::string &version,
           std::string &error) {
  // CLI11 takes the words last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
    return true;
  } catch (const CLI::CallForHelp &) {
    help = true;
    return true;
  } catch (const CLI::CallForVersion &e) {
    version = e.what();
    return true;
  } catch (const CLI::ExtrasError &) {
    // Every word that is no option is a positional one: what is left over is
    // an option nobody declared.
    const std::vector<std::string> left = app.remaining();
    error = "unknown option " + (left.empty() ? std::string("?") : OptionName(left.front())) +
            " (" + app.get_name() + " --help lists them)";
  } catch (const CLI::ArgumentMismatch &e) {
    // CLI11 says "NAME: 1 required TYPE missing".
    const std::string what = e.what();
    error = what.substr(0, what.find(':')) + " needs a value";
  } catch (const CLI::ParseError &e) {
    error = e.what();
  }
  return false;
}

}  // namespace zl::tools
