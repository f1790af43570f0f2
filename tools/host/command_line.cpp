#include "tools/host/command_line.h"

#include <string_view>

namespace host {
namespace {

std::optional<Command> CommandFromName(std::string_view name) {
    if (name == "engines") {
        return Command::Engines;
    }
    if (name == "features") {
        return Command::Features;
    }
    if (name == "translate") {
        return Command::Translate;
    }
    if (name == "check") {
        return Command::Check;
    }
    if (name == "help" || name == "--help" || name == "-h") {
        return Command::Help;
    }
    return std::nullopt;
}

// Walks the arguments; options take their value as "--name value" or "--name=value".
class ArgumentReader {
  public:
    explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

    bool Done() const { return next_ >= args_.size(); }
    const std::string& Current() const { return args_[next_]; }
    void Advance() { ++next_; }

    // True when the current argument is the option `name`; then `value` holds
    // its value (or `missing` is set when there is none).
    bool TakeValue(std::string_view name, std::string& value, bool& missing) {
        const std::string& arg = args_[next_];
        if (arg == name) {
            if (next_ + 1 >= args_.size()) {
                missing = true;
                return true;
            }
            value = args_[next_ + 1];
            next_ += 2;
            return true;
        }
        if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
            arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
            ++next_;
            return true;
        }
        return false;
    }

  private:
    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
};

}  // namespace

std::optional<HostOptions> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    HostOptions options;
    if (args.empty()) {
        return options;
    }
    const std::optional<Command> command = CommandFromName(args[0]);
    if (!command) {
        error = "unknown command \"" + args[0] + "\"";
        return std::nullopt;
    }
    options.command = *command;
    // The reader keeps a reference: the rest of the arguments live here.
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    ArgumentReader in(rest);
    bool inputGiven = false;
    while (!in.Done()) {
        const std::string& arg = in.Current();
        std::string value;
        bool missing = false;
        const bool translate = options.command == Command::Translate;
        const bool features = options.command == Command::Features;
        if (arg == "--help" || arg == "-h") {
            options.command = Command::Help;
            return options;
        }
        if (in.TakeValue("--progid", options.progId, missing)) {
        } else if (features && in.TakeValue("--ui", options.ui, missing)) {
        } else if (features && arg == "--raw") {
            options.raw = true;
            in.Advance();
        } else if (translate && in.TakeValue("--from", options.from, missing)) {
        } else if (translate && in.TakeValue("--to", options.to, missing)) {
        } else if (translate && in.TakeValue("--chunk", value, missing)) {
            if (!missing) {
                const std::optional<ChunkMode> mode = ChunkModeFromName(value);
                if (!mode) {
                    error = "--chunk takes line, paragraph or whole, not \"" + value + "\"";
                    return std::nullopt;
                }
                options.chunk = *mode;
            }
        } else if (translate && arg == "--markup") {
            options.markup = true;
            in.Advance();
        } else if (translate && (arg == "-" || arg.rfind("-", 0) != 0)) {
            if (inputGiven) {
                error = "translate reads one input; \"" + arg + "\" is one too many";
                return std::nullopt;
            }
            options.input = arg;
            inputGiven = true;
            in.Advance();
        } else {
            error = "unknown option \"" + arg + "\" for this command";
            return std::nullopt;
        }
        if (missing) {
            error = "option \"" + arg + "\" needs a value";
            return std::nullopt;
        }
    }
    if (options.command == Command::Translate && (options.from.empty() || options.to.empty())) {
        error = "translate needs --from and --to";
        return std::nullopt;
    }
    return options;
}

std::string UsageText() {
    return R"(usage: qn-host COMMAND [OPTIONS]

Drives the translation engine as a host framework does: finds it under
HKLM\Software\Quillon\TranslateSkyvale Server\Translation Engines, creates it
by ProgID and calls it with its own source and sink.

Commands:
  engines                 list the registered directions: languages, engine
                          name, ProgID and whether "Suppress" marks them
  features [--ui CODE] [--raw]
                          show the engine's features document, labelled in the
                          interface language CODE (e.g. de); --raw prints it as
                          the engine sends it
  translate --from XX --to YY [FILE|-] [--chunk line|paragraph|whole] [--markup]
                          translate FILE (UTF-8, a byte-order mark is fine;
                          standard input when FILE is - or missing) chunk by
                          chunk, a paragraph per chunk unless --chunk says
                          otherwise; prints the translation as UTF-8 text, or
                          the engine's markup with --markup; errors reported
                          for a chunk go to stderr with the chunk's number; a
                          progress line is shown on stderr when it is a
                          terminal and the input is long
  check                   is a back end listening on localhost:11000, does
                          each pipeline direction answer, which model folders
                          are missing (the test Configure uses)

Options for every command:
  --progid PROGID         use this ProgID instead of the registered entry's

Exit codes:
  0  success
  1  a chunk carried an error or came back empty; check: a pipeline does not
     answer
  2  the command line could not be understood
  3  engine not registered: no entry for the direction, or an unknown ProgID
  4  the engine could not be created (activation failed)
  5  back end down: nothing listens on localhost:11000
  6  the input file cannot be read, is not UTF-8 text or holds a NUL
     character
  7  the job failed: the engine reported it with 0, never reported its end
     or returned fewer chunks than were sent, or the translation could not
     be written
)";
}

}  // namespace host
