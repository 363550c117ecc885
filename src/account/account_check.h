// The whole job for one news account: find its two files under the client's
// data folder, analyse the block map, append the account's report lines and,
// for a pseudo-defragmentation, cut the free tail off both files or delete
// both when no block is in use.
#pragma once

#include <cstdint>
#include <string>

#include "account/platform.h"

enum class CheckMode : int { Estimate = 0, PseudoDefrag = 1 };

// An account whose mailbox or cut reaches 2 GiB is reported with its true
// sizes but never trimmed or deleted: tavix was not made for files that
// large, and a wrong cut there would lose mail.
constexpr uint64_t kLargestChangeableSize = 0x80000000ull;
constexpr size_t kMaxPathBytes = 260;  // MAX_PATH, terminating zero included

// The least free tail worth a cut (tavixc's --min-free): a share of the
// mailbox in percent, or a number of bytes. The window cuts any free tail.
struct MinFree {
    enum class Unit { None, Percent, Bytes };
    Unit unit = Unit::None;
    uint64_t amount = 0;
};

// Whether cutting a mailbox of mailboxSize bytes to tailBytes frees at least
// minFree. A tail beyond the mailbox's end frees nothing.
bool freesEnough(uint64_t mailboxSize, uint64_t tailBytes, const MinFree& minFree);

// The report's line for an account left alone because its cut frees too little.
extern const char kReportTooLittleFree[];

// Warnings, in code page 932.
extern const char kWarnMapOpen[];  // there, but held by another program or not ours to read
extern const char kWarnMapSize[];
extern const char kWarnNoMemory[];
extern const char kWarnMailboxOpen[];
extern const char kWarnMapRead[];
extern const char kWarnMailboxSize[];
extern const char kWarnNoRootPath[];
extern const char kWarnPathTooLong[];
extern const char kWarnMailboxTooLarge[];  // the mailbox is 2 GiB or more
extern const char kWarnTailTooLarge[];     // the map marks blocks at or beyond 2 GiB
extern const char kWarnMailboxTrim[];
extern const char kWarnMapTrim[];
extern const char kWarnMailboxDelete[];
extern const char kWarnMapDelete[];

// The account's report lines and warnings reach `report` and `owner` only
// once both its files are handled, in the order they were raised, so that
// nothing waiting on a person or a reader (a box, a full pipe) stands
// between the analysis and the cut. For a cut the map stays open, unshared,
// from its reading until both files are handled, so the client cannot mark a
// block used in between.
void checkAccount(const WarningOwner& owner, int32_t accountNumber, CheckMode mode, bool showRealDefrag,
                  const ReportSink& report, const MinFree& minFree = MinFree());

// "<rootPath>\account<n>\<fileName>"; false, with nothing built, when
// rootPath is empty or the path would not fit in MAX_PATH.
bool buildAccountFilePath(const std::string& rootPath, int32_t accountNumber, const char* fileName, std::string* path);

// `part` as a percentage of `whole`, the way the client's users have always
// seen it: divided by whole/100, rounded down. "---" when whole < 100.
std::string percentField(uint64_t part, uint64_t whole);
