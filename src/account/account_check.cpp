#include "account/account_check.h"

#include <vector>

#include "blockmap/blockmap.h"
#include "registry/account_store.h"

// The source is UTF-8; the build turns these into code page 932 bytes.
const char kWarnMapOpen[] = "\"news.bmp\"がオープンできませんでした";
const char kWarnMapSize[] = "\"news.bmp\"のファイルサイズが取得できません";
const char kWarnNoMemory[] = "メモリの割り当てに失敗しました";
const char kWarnMailboxOpen[] = "\"news.mbx\"がオープンできませんでした";
const char kWarnMapRead[] = "\"news.bmp\"が読み込めませんでした";
const char kWarnMailboxSize[] = "\"news.mbx\"のファイルサイズが取得できません";
const char kWarnNoRootPath[] = "データフォルダ\"rootPath\"が取得できません";
const char kWarnPathTooLong[] = "データフォルダのパスが長すぎるため処理できません";
const char kWarnMailboxTooLarge[] = "\"news.mbx\"が2GB以上のため、ファイルを変更しませんでした";
const char kWarnTailTooLarge[] = "\"news.bmp\"が2GB以降のブロックを使用中としているため、ファイルを変更しませんでした";
const char kWarnMailboxTrim[] = "\"news.mbx\"の切り詰めに失敗しました";
const char kWarnMapTrim[] = "\"news.bmp\"の切り詰めに失敗しました";
const char kWarnMailboxDelete[] = "\"news.mbx\"の削除に失敗しました";
const char kWarnMapDelete[] = "\"news.bmp\"の削除に失敗しました";
const char kReportTooLittleFree[] = "           空き領域が指定の下限に満たないため、ファイルを変更しませんでした\r\n";

namespace {

struct AccountFiles {
    std::string mapPath;
    std::string mailboxPath;
};

std::string rightAligned(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// Finds both paths, or warns and returns false.
bool locateAccountFiles(const WarningOwner& owner, int32_t accountNumber, AccountFiles* files) {
    std::string rootPath;
    if (!readRootPath(&rootPath) || rootPath.empty()) {
        warnUser(owner, kWarnNoRootPath);
        return false;
    }
    if (!buildAccountFilePath(rootPath, accountNumber, "news.bmp", &files->mapPath) ||
        !buildAccountFilePath(rootPath, accountNumber, "news.mbx", &files->mailboxPath)) {
        warnUser(owner, kWarnPathTooLong);
        return false;
    }
    return true;
}

// For a cut the map is opened to be read, cut and deleted, and it stays open
// until both files are handled: while it is held, the client cannot start on
// the account and mark a block used that the cut would take. Windows grants
// an open only with every right asked for, so where that fails the map is
// asked for one right less at a time: a map that may be written but not
// deleted is still cut (only its deletion warns), and one that can only be
// read is still read, its cut warning as before.
PlatformFile* openMapFile(const std::string& mapPath, CheckMode mode, bool* writable, bool* missing) {
    *writable = false;
    if (mode == CheckMode::PseudoDefrag) {
        for (FileAccess access : {FileAccess::ReadWriteDelete, FileAccess::ReadWrite}) {
            PlatformFile* map = openExistingFile(mapPath.c_str(), access, missing);
            *writable = map != nullptr;
            if (map != nullptr || *missing) return map;
        }
    }
    return openExistingFile(mapPath.c_str(), FileAccess::Read, missing);
}

// Reads the whole block map once and analyses it.
bool analyzeMapFile(const WarningOwner& owner, PlatformFile* map, BlockMapSummary* summary) {
    uint64_t size = 0;
    if (!fileSize(map, &size)) {
        warnUser(owner, kWarnMapSize);
        return false;
    }
    if (size == 0) {
        *summary = analyzeBlockMap(nullptr, 0);
        return true;
    }
    // One read takes at most 4 GiB, and the buffer must be addressable.
    const bool fits = size <= UINT32_MAX && size <= SIZE_MAX;
    void* buffer = fits ? allocateBuffer(static_cast<size_t>(size)) : nullptr;
    if (buffer == nullptr) {
        warnUser(owner, kWarnNoMemory);
        return false;
    }
    uint32_t bytesRead = 0;
    const bool readWhole = readFile(map, buffer, static_cast<uint32_t>(size), &bytesRead) && bytesRead == size;
    if (readWhole) *summary = analyzeBlockMap(static_cast<const unsigned char*>(buffer), static_cast<size_t>(size));
    freeBuffer(buffer);
    if (!readWhole) {
        warnUser(owner, kWarnMapRead);
        return false;
    }
    return true;
}

bool takeMailboxSize(const WarningOwner& owner, const std::string& mailboxPath, uint64_t* size) {
    ScopedFile mailbox(openExistingFile(mailboxPath.c_str(), FileAccess::Read));
    if (!mailbox) {
        warnUser(owner, kWarnMailboxOpen);
        return false;
    }
    if (!fileSize(mailbox.get(), size)) {
        warnUser(owner, kWarnMailboxSize);
        return false;
    }
    return true;
}

// The report's lines for one account, "\r\n"-ended.
std::string formatReport(uint64_t mailboxSize, uint64_t tailBytes, uint64_t compactBytes, bool showRealDefrag,
                         const std::string& caption) {
    std::string text = rightAligned(std::to_string(mailboxSize), 10) + " --> " +
                       rightAligned(std::to_string(tailBytes), 10) + " (" + percentField(tailBytes, mailboxSize) +
                       "%): ";
    if (showRealDefrag) {
        text += "\r\n" + std::string(11, ' ') + "--> " + rightAligned(std::to_string(compactBytes), 10) + " (" +
                percentField(compactBytes, mailboxSize) + "%): ";
    }
    return text + caption + "\r\n";
}

void setLengthOrWarn(const WarningOwner& owner, const std::string& path, uint64_t length, const char* warning) {
    ScopedFile file(openExistingFile(path.c_str(), FileAccess::Write));
    if (!file || !setFileLength(file.get(), length)) warnUser(owner, warning);
}

void deleteOrWarn(const WarningOwner& owner, const std::string& path, const char* warning) {
    if (!deleteFile(path.c_str())) warnUser(owner, warning);
}

// `map` is the held map, or nullptr when it could only be read.
void pseudoDefragment(const WarningOwner& owner, const ReportSink& report, const AccountFiles& files, PlatformFile* map,
                      const BlockMapSummary& summary, uint64_t mailboxSize, const MinFree& minFree) {
    // Each refusal names its own cause; the mailbox's size comes first.
    if (mailboxSize >= kLargestChangeableSize) {
        warnUser(owner, kWarnMailboxTooLarge);
        return;
    }
    if (tailSize(summary) >= kLargestChangeableSize) {
        warnUser(owner, kWarnTailTooLarge);
        return;
    }
    if (!freesEnough(mailboxSize, tailSize(summary), minFree)) {
        appendReport(report, kReportTooLittleFree);
        return;
    }
    if (isEmpty(summary)) {
        // The map goes when it is closed, after the mailbox; a map held
        // without the right to delete it stays, and warns.
        if (map == nullptr || !deleteWhenClosed(map)) warnUser(owner, kWarnMapDelete);
        deleteOrWarn(owner, files.mailboxPath, kWarnMailboxDelete);
        return;
    }
    setLengthOrWarn(owner, files.mailboxPath, tailSize(summary), kWarnMailboxTrim);
    if (map == nullptr || !setFileLength(map, trimmedMapLength(summary))) warnUser(owner, kWarnMapTrim);
}

// What one account says, held until its files are handled. A report written
// to a pipe nobody reads, or a warning box the user has not answered, can
// wait as long as they like; were it shown between the analysis and the cut,
// it would keep the map held and the client shut out all that time.
struct HeldOutput {
    struct Piece {
        bool isWarning;
        std::string text;
    };
    std::vector<Piece> pieces;
};

void holdWarning(void* context, const char* message) {
    static_cast<HeldOutput*>(context)->pieces.push_back({true, message});
}

void holdReport(void* context, const char* text) { static_cast<HeldOutput*>(context)->pieces.push_back({false, text}); }

// In the order the pieces were raised, so that each stream and a console
// that shows both read as if nothing had been held.
void releaseOutput(const HeldOutput& held, const WarningOwner& owner, const ReportSink& report) {
    for (const HeldOutput::Piece& piece : held.pieces) {
        if (piece.isWarning) {
            warnUser(owner, piece.text.c_str());
        } else {
            appendReport(report, piece.text.c_str());
        }
    }
}

void analyzeAndCut(const WarningOwner& owner, int32_t accountNumber, CheckMode mode, bool showRealDefrag,
                   const ReportSink& report, const MinFree& minFree) {
    AccountFiles files;
    if (!locateAccountFiles(owner, accountNumber, &files)) return;
    // A missing map is not an error: such an account has nothing to report. A
    // map that is there but cannot be opened (a running client holds it) is
    // warned about, so that the account does not simply vanish from the report.
    bool mapWritable = false;
    bool mapMissing = false;
    ScopedFile map(openMapFile(files.mapPath, mode, &mapWritable, &mapMissing));
    if (!map) {
        if (!mapMissing) warnUser(owner, kWarnMapOpen);
        return;
    }
    BlockMapSummary summary{};
    if (!analyzeMapFile(owner, map.get(), &summary)) return;
    uint64_t mailboxSize = 0;
    if (!takeMailboxSize(owner, files.mailboxPath, &mailboxSize)) return;

    // The report is made before the cut, so a pseudo-defragmentation shows
    // the sizes from before the files were changed.
    const std::string caption = accountCaption(accountNumber, kReportCaptionCapacity);
    appendReport(report,
                 formatReport(mailboxSize, tailSize(summary), compactSize(summary), showRealDefrag, caption).c_str());

    if (mode == CheckMode::PseudoDefrag) {
        pseudoDefragment(owner, report, files, mapWritable ? map.get() : nullptr, summary, mailboxSize, minFree);
    }
}

}  // namespace

bool buildAccountFilePath(const std::string& rootPath, int32_t accountNumber, const char* fileName, std::string* path) {
    if (rootPath.empty() || accountNumber < 0) return false;
    std::string built = rootPath + "\\account" + std::to_string(accountNumber) + "\\" + fileName;
    if (built.size() + 1 > kMaxPathBytes) return false;
    *path = built;
    return true;
}

bool freesEnough(uint64_t mailboxSize, uint64_t tailBytes, const MinFree& minFree) {
    const uint64_t freed = mailboxSize > tailBytes ? mailboxSize - tailBytes : 0;
    switch (minFree.unit) {
    case MinFree::Unit::None:
        return true;
    case MinFree::Unit::Bytes:
        return freed >= minFree.amount;
    case MinFree::Unit::Percent: {
        // freed * 100 >= amount * mailboxSize, without overflow for amounts up to 100.
        const uint64_t needed =
            minFree.amount * (mailboxSize / 100) + (minFree.amount * (mailboxSize % 100) + 99) / 100;
        return freed >= needed;
    }
    }
    return false;
}

std::string percentField(uint64_t part, uint64_t whole) {
    const uint64_t divisor = whole / 100;
    if (divisor == 0) return "---";
    return rightAligned(std::to_string(part / divisor), 3);
}

void checkAccount(const WarningOwner& owner, int32_t accountNumber, CheckMode mode, bool showRealDefrag,
                  const ReportSink& report, const MinFree& minFree) {
    HeldOutput held;
    analyzeAndCut(WarningOwner{&held, holdWarning}, accountNumber, mode, showRealDefrag, ReportSink{&held, holdReport},
                  minFree);
    releaseOutput(held, owner, report);
}
