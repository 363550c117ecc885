#include "cli/tavixc.h"

#include <set>

#include "account/account_check.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "registry/account_list.h"
#include "registry/account_store.h"
#include "tavix_version.h"

namespace {

const char kUsage[] = "使い方: tavixc <コマンド> [オプション] [アカウント...]\r\n"
                      "Morvex のニュースアカウントの空き領域を報告し、最後に使われているブロック\r\n"
                      "より後ろを切り詰めます。Morvex を終了してから実行してください。\r\n"
                      "\r\n"
                      "コマンド:\r\n"
                      "  list       ニュースアカウントの番号と名前を一覧の順に表示します\r\n"
                      "  estimate   報告だけを表示します (見積)。ファイルは変更しません\r\n"
                      "  trim       空き領域を切り詰めてから、切り詰める前の大きさで報告を\r\n"
                      "             表示します (偽デフラグ)\r\n"
                      "\r\n"
                      "オプション:\r\n"
                      "  --real              真デフラグの見積りも表示します\r\n"
                      "  --min-free N%|SIZE  切り詰めで空く領域がメールボックスの N% 以上か、SIZE\r\n"
                      "                      バイト以上 (K, M, G は 1024 倍単位) のアカウントだけを\r\n"
                      "                      切り詰めます (trim のみ)\r\n"
                      "  --caption NAME      アカウントを番号ではなく名前で指定します\r\n"
                      "  --help              この説明を表示します\r\n"
                      "  --version           版を表示します\r\n"
                      "\r\n"
                      "アカウントは list が表示する番号で指定します。指定しなければ、すべての\r\n"
                      "ニュースアカウントを一覧の順に処理します。\r\n"
                      "\r\n"
                      "終了コード: 0 正常終了、1 警告が出たか不明なアカウントがあった、\r\n"
                      "            2 使い方の誤りか、Morvex の設定がレジストリにない、\r\n"
                      "            3 報告を標準出力に書き込めなかった\r\n";

const char kMoreHelp[] = "tavixc --help で使い方を表示します\r\n";

const char kNamedWithoutMap[] = "\"news.bmp\"がないため、処理しませんでした";

void complain(const std::string& what) { writeStandardError("tavixc: " + what + "\r\n"); }

TavixcExitCode usageError(const std::string& error) {
    complain(error);
    writeStandardError(kMoreHelp);
    return kExitNotStarted;
}

// A message box's text with its bare line feeds made console line ends (a
// line feed is never the second byte of a two-byte character).
std::string consoleLines(const char* text) {
    std::string lines;
    for (const char* c = text; *c != '\0'; ++c) lines += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    return lines + "\r\n";
}

// One account's output: its report lines go to standard output, its
// warnings to standard error after its caption.
struct AccountConsole {
    std::string caption;
    bool warned = false;
    bool reported = false;
    bool reportLost = false;
};

void warnOnStandardError(void* context, const char* message) {
    auto* account = static_cast<AccountConsole*>(context);
    writeStandardError(account->caption + ": " + message + "\r\n");
    account->warned = true;
}

void reportOnStandardOutput(void* context, const char* text) {
    auto* account = static_cast<AccountConsole*>(context);
    account->reported = true;
    if (!writeStandardOutput(text)) account->reportLost = true;
}

// A report that did not reach standard output fails the run, however well
// the accounts went: a scheduled run's log would otherwise hide its work.
TavixcExitCode reportLost() {
    complain("報告を標準出力に書き込めませんでした");
    return kExitReportLost;
}

// The listed rows an account name picks; none, with a complaint, when it
// names no listed news account or, by caption, more than one.
std::vector<size_t> rowsNamed(const std::vector<ListedAccount>& listed, const AccountName& name) {
    std::vector<size_t> rows;
    for (size_t row = 0; row < listed.size(); ++row) {
        if (name.byCaption ? listed[row].caption == name.caption : listed[row].accountNumber == name.number) {
            rows.push_back(row);
        }
    }
    if (rows.empty() && name.byCaption) {
        complain("アカウント名 \"" + name.caption + "\" のニュースアカウントはありません");
    } else if (rows.empty()) {
        complain("アカウント " + std::to_string(name.number) + " はニュースアカウントの一覧にありません");
    } else if (rows.size() > 1) {
        complain("アカウント名 \"" + name.caption + "\" のニュースアカウントが複数あります。番号で指定してください");
        rows.clear();
    }
    return rows;
}

// The rows to handle, in list order as the window handles its selection;
// every row when no account is named.
std::set<size_t> selectedRows(const std::vector<ListedAccount>& listed, const std::vector<AccountName>& names,
                              bool* allKnown) {
    std::set<size_t> rows;
    for (size_t row = 0; names.empty() && row < listed.size(); ++row) rows.insert(row);
    for (const AccountName& name : names) {
        const std::vector<size_t> named = rowsNamed(listed, name);
        if (named.empty()) *allKnown = false;
        rows.insert(named.begin(), named.end());
    }
    return rows;
}

TavixcExitCode listAccounts(const std::vector<ListedAccount>& listed) {
    std::string lines;
    for (const ListedAccount& account : listed) {
        lines += std::to_string(account.accountNumber) + "\t" + account.caption + "\r\n";
    }
    return writeStandardOutput(lines) ? kExitDone : reportLost();
}

// Every selected account is handled whatever happened to the ones before it.
// A named account that leaves no trace (it has no block map) is said so: the
// caller asked for it.
TavixcExitCode checkAccounts(const std::vector<ListedAccount>& listed, const CliOptions& options) {
    bool allFine = true;
    bool anyReportLost = false;
    const CheckMode mode = options.command == CliCommand::Trim ? CheckMode::PseudoDefrag : CheckMode::Estimate;
    for (size_t row : selectedRows(listed, options.accounts, &allFine)) {
        AccountConsole account{listed[row].caption};
        checkAccount(WarningOwner{&account, warnOnStandardError}, listed[row].accountNumber, mode,
                     options.showRealDefrag, ReportSink{&account, reportOnStandardOutput}, options.minFree);
        if (!options.accounts.empty() && !account.reported && !account.warned) {
            warnOnStandardError(&account, kNamedWithoutMap);
        }
        allFine = allFine && !account.warned;
        anyReportLost = anyReportLost || account.reportLost;
    }
    if (anyReportLost) return reportLost();
    return allFine ? kExitDone : kExitWarned;
}

// Where Windows did not give the program code page 932 (Windows 10 set to
// another language), captions come from the registry misread: naming an
// account by one could pick the wrong account.
bool namesByCaption(const CliOptions& options) {
    for (const AccountName& name : options.accounts) {
        if (name.byCaption) return true;
    }
    return false;
}

}  // namespace

TavixcExitCode refuseInexactArgument(const InexactArgument& argument) {
    writeStandardErrorAround("tavixc: コードページ932で表せない文字を含む引数です: ", argument,
                             std::string("\r\n") + kMoreHelp);
    return kExitNotStarted;
}

TavixcExitCode runTavixc(const std::vector<std::string>& arguments) {
    CliOptions options;
    std::string error;
    if (!parseCommandLine(arguments, &options, &error)) return usageError(error);
    if (options.command == CliCommand::Help || options.command == CliCommand::Version) {
        const std::string text = options.command == CliCommand::Help ? kUsage : "tavixc " TAVIX_VERSION_TEXT "\r\n";
        return writeStandardOutput(text) ? kExitDone : reportLost();
    }
    if (namesByCaption(options) && ansiCodePage() != 932) {
        return usageError(
            "このWindowsではアカウント名を正しく読めないため、--caption は使えません。番号で指定してください");
    }
    if (!openProperties()) {
        writeStandardError(consoleLines(kErrorNoProperties));
        return kExitNotStarted;
    }
    const std::vector<ListedAccount> listed = listNewsAccounts();
    return options.command == CliCommand::List ? listAccounts(listed) : checkAccounts(listed, options);
}
