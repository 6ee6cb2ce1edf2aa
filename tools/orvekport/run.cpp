#include "tools/orvekport/run.h"

#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/orvekport/advice.h"

namespace orvek::cli {
namespace {

// The tables in the order --help lists them.
std::span<const Command> (*const kTables[])() = {
    hostlink_commands, map_commands, waypoint_commands, device_commands,
    host_commands,
};

const Command* find_command(const std::string& name) {
  for (auto table : kTables)
    for (const Command& command : table())
      if (name == command.name) return &command;
  return nullptr;
}

bool is_help(const std::string& argument) {
  return argument == "--help" || argument == "-h" || argument == "help";
}

// The first sentence of a command's help, rewrapped, for the overview.
std::string summary(const Command& command) {
  std::string out = "  " + std::string(command.usage) + "\n";
  std::string sentence;
  for (const char* c = command.help; *c != '\0'; ++c) {
    sentence += *c == '\n' ? ' ' : *c;
    if (*c == '.' && (c[1] == ' ' || c[1] == '\n' || c[1] == '\0')) break;
  }
  // Words into lines of at most 72 characters behind a 6-space indent.
  constexpr std::size_t kWidth = 72;
  std::size_t start = 0;
  while (start < sentence.size()) {
    std::size_t end = sentence.size();
    if (end - start > kWidth) {
      end = sentence.rfind(' ', start + kWidth);
      if (end == std::string::npos || end <= start) end = start + kWidth;
    }
    out += "      " + sentence.substr(start, end - start) + "\n";
    start = end;
    while (start < sentence.size() && sentence[start] == ' ') ++start;
  }
  return out;
}

constexpr char kUsage[] =
    "usage: orvekport [--json] [--show] [--lossy] [--force] [--no-start] "
    "COMMAND [ARGUMENTS]\n"
    "       orvekport COMMAND --help | --help | --version | -V\n";

std::string overview() {
  std::string out = kUsage;
  out +=
      "\nDrives the host application through OrvekPORT.dll, one call per run.\n"
      "Results go to stdout; the status line (\"status: NAME (n): meaning\")\n"
      "and what to do about a failure go to stderr. Texts are UTF-8 on the\n"
      "command line and in the output, and the host's ANSI code page on the\n"
      "link. Commands that send to the host run OrvekGPSPort_Init first.\n"
      "\noptions (anywhere before a \"--\"):\n"
      "  --json      one JSON object on stdout: command, exit_code, status,\n"
      "              status_name, status_meaning, fields, notes, and\n"
      "              host_answer or sent when there are\n"
      "  --show      print the request line the call sent, read back from\n"
      "              the host's request file\n"
      "  --lossy     send characters the host's code page can't hold as its\n"
      "              default character instead of refusing the text\n"
      "  --force     send what is refused as suspect: coordinates outside\n"
      "              -180..180 and -90..90, zero or negative viewport lengths,\n"
      "              waypoints that would not read back\n"
      "  --no-start  fail (exit 3) instead of starting the host when its\n"
      "              window isn't there\n"
      "\nexit codes:\n"
      "  0           success\n"
      "  1, 4 and up the status of the failed call (see 'orvekport statuses')\n"
      "  2           bad command line, or input refused before anything was\n"
      "              sent (a character outside the code page, a waypoint that\n"
      "              would not read back)\n"
      "  3           a failure with no status to give: mobiles count/list "
      "gave\n"
      "              -1, disk-free can't query, host start/stop failed,\n"
      "              --no-start without a running host\n"
      "\ncommands:\n";
  for (auto table : kTables)
    for (const Command& command : table()) out += summary(command);
  return out;
}

// Sets the option `argument` names; false when it names none.
bool take_global(const std::string& argument, GlobalOptions* options) {
  if (argument == "--json") return options->json = true;
  if (argument == "--lossy") return options->lossy = true;
  if (argument == "--show") return options->show = true;
  if (argument == "--no-start") return options->no_start = true;
  if (argument == "--force") return options->force = true;
  return false;
}

}  // namespace

GlobalOptions take_global_options(std::vector<std::string>* arguments) {
  GlobalOptions options;
  std::vector<std::string> kept;
  bool ended = false;
  for (std::string& argument : *arguments) {
    ended = ended || argument == "--";
    if (ended || !take_global(argument, &options))
      kept.push_back(std::move(argument));
  }
  *arguments = std::move(kept);
  return options;
}

int run_client(std::vector<std::string> arguments, Library& library,
               System& system) {
  const GlobalOptions options = take_global_options(&arguments);
  std::vector<std::string> no_warnings;
  auto refusal = [&](const std::string& words, const std::string& problem,
                     const char* usage = nullptr) {
    return Report(words, system, options.json, &no_warnings)
        .refuse(problem, usage);
  };
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--no-init")
      return refusal("--no-init",
                     "--no-init is gone: commands need the host link that Init "
                     "makes in each run; --no-start fails instead of starting "
                     "the host");
  }
  if (arguments.empty()) {
    system.write_err(kUsage);
    return kExitUsage;
  }
  if (is_help(arguments[0])) {
    system.write_out(overview());
    return kExitOk;
  }
  if (arguments[0] == "--version" || arguments[0] == "-V")
    arguments[0] = "version";
  const Command* command = find_command(arguments[0]);
  if (command == nullptr)
    return refusal(arguments[0], "unknown command '" + arguments[0] +
                                     "'; 'orvekport --help' lists the commands");
  if (arguments.size() == 2 && is_help(arguments[1])) {
    system.write_out("usage: orvekport " + std::string(command->usage) +
                     "\n\n" + command->help + "\n");
    return kExitOk;
  }

  // A command of actions takes its action word first.
  std::string words = command->name;
  std::span<const std::string> rest(arguments);
  rest = rest.subspan(1);
  const Action* action = &command->action;
  if (!command->actions.empty()) {
    if (rest.empty())
      return refusal(words, command->actions_expected, command->usage);
    words += " " + rest.front();
    action = nullptr;
    for (const Action& candidate : command->actions)
      if (words == candidate.words) action = &candidate;
    if (action == nullptr)
      return refusal(words, command->actions_expected, command->usage);
    rest = rest.subspan(1);
  }
  Run run(library, system, options, *command, *action, words);
  int exit_code = 0;
  if (!run.take_arguments(rest, &exit_code)) return exit_code;
  return action->run(run);
}

// ---- Run --------------------------------------------------------------------

Run::Run(Library& library_, System& system_, const GlobalOptions& options_,
         const Command& command, const Action& action, std::string words)
    : library(library_),
      system(system_),
      options(options_),
      text(system_, options_.lossy),
      report(std::move(words), system_, options_.json, text.warnings()),
      command_(command),
      action_(action) {}

bool Run::take_arguments(std::span<const std::string> arguments,
                         int* exit_code) {
  arguments_.emplace(arguments);
  for (const Option& option : action_.options) {
    const char* value = nullptr;
    if (option.takes_value) {
      value = arguments_->take_option(option.name);
      if (value != nullptr && option.check != nullptr && !option.check(value)) {
        *exit_code = refuse_usage(option.problem);
        return false;
      }
    } else if (arguments_->take_flag(option.name)) {
      value = "";
    }
    if (value != nullptr) taken_[option.name] = value;
  }
  if (!arguments_->finish(action_.min_positionals, action_.max_positionals)) {
    *exit_code = refuse_usage(arguments_->problem());
    return false;
  }
  return true;
}

const char* Run::option(const char* name) const {
  auto found = taken_.find(name);
  return found == taken_.end() ? nullptr : found->second;
}

int Run::refuse_usage(const std::string& problem) {
  return report.refuse(problem, command_.usage);
}

std::optional<std::string> Run::for_host(const std::string& utf8,
                                         const char* what, int* exit_code) {
  std::string problem;
  std::optional<std::string> converted = text.to_host(utf8, what, &problem);
  if (!converted) *exit_code = refuse(problem);
  return converted;
}

bool Run::real_at(std::size_t i, double* value, int* exit_code) {
  if (tools::parse_real((*this)[i], value)) return true;
  *exit_code = refuse_usage(std::string("not a finite number: ") + (*this)[i]);
  return false;
}

bool Run::int_at(std::size_t i, std::int32_t* value, int* exit_code) {
  std::int64_t parsed = 0;
  if (tools::parse_integer((*this)[i], INT32_MIN, INT32_MAX, &parsed)) {
    *value = static_cast<std::int32_t>(parsed);
    return true;
  }
  *exit_code =
      refuse_usage(std::string("not a 32-bit integer: ") + (*this)[i]);
  return false;
}

int Run::prepare_host() {
  if (action_.need == HostNeed::kNone || host_prepared_) return 0;
  host_prepared_ = true;
  if (options.no_start && !system.host_window_open())
    return report.fail(
        "the host is not running and --no-start was given; start it with "
        "'orvekport host start FOLDER', or drop --no-start");
  if (action_.need != HostNeed::kLink) return 0;
  // Watched from before Init, so that a handshake reply Init read counts
  // as fresh.
  PacketWatch init = watch();
  std::uint32_t status = library.Init();
  if (status == ORVEKPORT_OK) return 0;
  report.note("OrvekGPSPort_Init failed, so nothing was sent");
  return finish(init, status);
}

bool Run::explain_parse_status(std::uint32_t status,
                               const std::optional<std::string>& reply,
                               std::span<const char* const> record) {
  // A parse status only follows a query whose reply was "G...|record".
  constexpr std::uint32_t kFirstParseStatus = ORVEKPORT_E_NO_COMMA_AFTER_FIELD1;
  if (record.empty() || status < kFirstParseStatus ||
      status >= kFirstParseStatus + record.size() - 1 || !reply ||
      reply->empty() || (*reply)[0] != protocol::kQueryAnswered ||
      reply->find(protocol::kResultSeparator) == std::string::npos)
    return false;
  std::size_t field = status - kFirstParseStatus;  // 0-based, no comma after
  report.rename_status(
      "E_NO_COMMA_AFTER_FIELD" + std::to_string(field + 1),
      "the record ended before field " + std::to_string(field + 2) + " (" +
          record[field + 1] + "): no comma after field " +
          std::to_string(field + 1) + " (" + record[field] + ")");
  return true;
}

int Run::finish(const PacketWatch& watch, std::uint32_t status,
                const CallFacts& facts) {
  std::optional<std::string> reply = watch.fresh_reply();
  const std::optional<Limit>& limit = facts.limit;
  if (options.show) {
    // A refused call wrote nothing, whatever the file says.
    bool refused = status == ORVEKPORT_E_TOO_LONG && limit;
    std::optional<std::string> request = watch.fresh_request();
    report.sent(request && !refused ? visible(text.from_host(*request))
                                    : "(nothing)");
  }
  bool parse = explain_parse_status(status, reply, facts.record);
  // What the host answered, when its answer is why the call failed.
  bool answer_matters = parse || status == ORVEKPORT_E_OPEN_REPLY ||
                        status == ORVEKPORT_E_READ_REPLY ||
                        status == ORVEKPORT_E_NO_RESULT ||
                        (status == ORVEKPORT_E_TOO_LONG && !limit);
  if (status != ORVEKPORT_OK && answer_matters && reply)
    report.host_answered(visible(text.from_host(*reply)));
  if (status == ORVEKPORT_E_TOO_LONG && limit && !limit->length) {
    report.note(limit->what + " passes " + std::to_string(limit->max) +
                " bytes; nothing was sent");
  } else if (status == ORVEKPORT_E_TOO_LONG && limit) {
    std::size_t length = *limit->length;
    std::size_t over = length > limit->max ? length - limit->max : 0;
    report.note(limit->what + " is " + std::to_string(length) + " bytes, " +
                std::to_string(limit->max) + " at most" +
                (over ? " (" + std::to_string(over) + " too many)" : "") +
                "; nothing was sent");
  } else if (!parse && status != ORVEKPORT_OK) {
    explain_link_status(status, system, report);
  }
  return report.finish(status);
}

// ---- PacketWatch -------------------------------------------------------------

PacketWatch::PacketWatch(System& system, bool request_too) : system_(system) {
  std::optional<std::string> path = system.host_path();
  std::string folder = path ? folder_of(*path) + "\\" : "";
  // The request file matters only to --show; the reply to every call.
  if (path && request_too)
    request_ = state(folder + protocol_name(protocol::kRequestFileName));
  if (path) reply_ = state(folder + protocol_name(protocol::kReplyFileName));
}

PacketWatch::FileState PacketWatch::state(const std::string& path) const {
  FileState state{path, system_.written_at(path), std::nullopt};
  if (state.written) state.bytes = system_.read_file(path);
  return state;
}

std::optional<std::string> PacketWatch::changed(const FileState& before) const {
  if (before.path.empty()) return std::nullopt;
  FileState now = state(before.path);
  if (!now.bytes) return std::nullopt;
  bool changed = !before.bytes || *now.bytes != *before.bytes ||
                 now.written != before.written;
  return changed ? now.bytes : std::nullopt;
}

// ---- Checks shared by commands ---------------------------------------------

std::string off_globe(double longitude, double latitude) {
  auto text = [](double value) {
    char out[32];
    std::snprintf(out, sizeof out, "%g", value);
    return std::string(out);
  };
  std::string why;
  if (!(longitude >= -180 && longitude <= 180))
    why = "longitude " + text(longitude) + " is outside -180..180";
  if (!(latitude >= -90 && latitude <= 90))
    why += (why.empty() ? "latitude " : ", latitude ") + text(latitude) +
           " is outside -90..90";
  if (!why.empty()) why += "; --force sends it all the same";
  return why;
}

std::size_t fixed_length(double value) {
  return static_cast<std::size_t>(std::snprintf(nullptr, 0, "%f", value));
}

}  // namespace orvek::cli
