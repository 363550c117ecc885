#include "cli/cli_options.h"

namespace {

// A decimal number of digits only, at most `limit`.
bool parseNumber(const std::string& text, uint64_t limit, uint64_t* value) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > limit) return false;
    *value = number;
    return true;
}

bool parseCommand(const std::string& word, CliCommand* command) {
    const struct {
        const char* word;
        CliCommand command;
    } commands[] = {{"list", CliCommand::List}, {"estimate", CliCommand::Estimate}, {"trim", CliCommand::Trim}};
    for (const auto& known : commands) {
        if (word == known.word) {
            *command = known.command;
            return true;
        }
    }
    return false;
}

// The value of an option given as "--name value" or "--name=value".
bool optionValue(const std::vector<std::string>& arguments, size_t* index, const std::string& name,
                 std::string* value) {
    const std::string& argument = arguments[*index];
    if (argument.compare(0, name.size() + 1, name + "=") == 0) {
        *value = argument.substr(name.size() + 1);
        return true;
    }
    if (argument != name || *index + 1 >= arguments.size()) return false;
    *value = arguments[++*index];
    return true;
}

}  // namespace

bool parseMinFree(const std::string& text, MinFree* minFree) {
    if (!text.empty() && text.back() == '%') {
        minFree->unit = MinFree::Unit::Percent;
        return parseNumber(text.substr(0, text.size() - 1), 100, &minFree->amount);
    }
    int shift = 0;
    std::string digits = text;
    if (!digits.empty()) {
        const char suffix = static_cast<char>(digits.back() & ~0x20);  // k and K alike
        shift = suffix == 'K' ? 10 : suffix == 'M' ? 20 : suffix == 'G' ? 30 : 0;
        if (shift != 0) digits.pop_back();
    }
    minFree->unit = MinFree::Unit::Bytes;
    if (!parseNumber(digits, UINT64_MAX >> shift, &minFree->amount)) return false;
    minFree->amount <<= shift;
    return true;
}

bool parseCommandLine(const std::vector<std::string>& arguments, CliOptions* options, std::string* error) {
    bool haveCommand = false;
    bool haveMinFree = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string value;
        uint64_t number = 0;
        if (argument == "--help" || argument == "--version") {
            options->command = argument == "--help" ? CliCommand::Help : CliCommand::Version;
            return true;
        } else if (argument == "--real") {
            options->showRealDefrag = true;
        } else if (optionValue(arguments, &i, "--min-free", &value)) {
            if (!parseMinFree(value, &options->minFree)) {
                *error = "--min-free の値が正しくありません: " + value;
                return false;
            }
            haveMinFree = true;
        } else if (optionValue(arguments, &i, "--caption", &value)) {
            options->accounts.push_back(AccountName{true, 0, value});
        } else if (argument.compare(0, 1, "-") == 0) {
            *error = "不明なオプションか、値がありません: " + argument;
            return false;
        } else if (!haveCommand) {
            if (!parseCommand(argument, &options->command)) {
                *error = "不明なコマンドです: " + argument;
                return false;
            }
            haveCommand = true;
        } else if (parseNumber(argument, INT32_MAX, &number)) {
            options->accounts.push_back(AccountName{false, static_cast<int32_t>(number), std::string()});
        } else {
            *error = "アカウント番号が正しくありません: " + argument;
            return false;
        }
    }
    if (!haveCommand) {
        *error = "コマンド (list, estimate, trim) を指定してください";
    } else if (options->command == CliCommand::List && (options->showRealDefrag || !options->accounts.empty())) {
        *error = "list にはオプションもアカウントも指定できません";
    } else if (haveMinFree && options->command != CliCommand::Trim) {
        *error = "--min-free は trim にだけ指定できます";
    } else {
        return true;
    }
    return false;
}
