#pragma once
// The schedule of a local request: "AT <start> [REPEAT <n>|EVERYDAY
// [UNTIL <time>|COUNT <n>]]", its next run and its texts for the pages.
#include "QvWindows.h"
#include "Streamable.h"
#include "Timer.h"

class BUFFER;

// Longest schedule word plus its NUL; longer words are refused.
const int LOCALTIMER_WORD = 20;

class LOCALTIMER : public TIMER, public STREAMABLE {
public:
    // Without a schedule the timer is due now and runs once; a schedule that
    // does not parse leaves `due` at 0, so the timer cannot be queued.
    explicit LOCALTIMER(const char* command = nullptr);
    ~LOCALTIMER() override {}

    QV_ITEM_IDENTITY(LOCALTIMER, "LOCALTIMER", "LOCT")

    // Whether the text (after blanks) starts with the schedule keyword.
    static BBOOL IsTimedReqCmd(const char* text);
    // Splits the schedule segment into its words; FALSE when malformed.
    static BBOOL parseTimedReqCmd(const char* text, char* start, char* repeat, char* end);

    // Computes the next run; FALSE when the schedule is used up. `resuming`
    // is set for a schedule read back after a restart.
    BBOOL ResetNextTimer(BBOOL resuming);
    BBOOL expiredRepeatTimer(BBOOL resuming);

    // Texts for the administration pages (ASCIIZ into out, at most size).
    void GetStart(char* out, int size) const;
    void GetFrequency(char* out, int size) const;
    void GetDuration(char* out, int size) const;

    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    BBOOL forever;                    // a repeat without UNTIL or COUNT
    char startText[LOCALTIMER_WORD];  // the word after AT
    char repeatText[LOCALTIMER_WORD]; // the word after REPEAT, or "EVERYDAY"
    char endText[LOCALTIMER_WORD];    // the UNTIL word, or "COUNT <n>"
    long repeatMinutes;               // 0 for EVERYDAY, -1 for a time of day
    long count;                       // runs left of a COUNT schedule
    TIMESTAMP until;                  // end of an UNTIL schedule, else 0

private:
    long periodMinutes() const;
    BBOOL nextTimeOfDay();
};
