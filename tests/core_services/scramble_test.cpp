// The unscrambling of stored codes, and the scrambling twin that makes test data, pinned by
// vectors worked out by hand from the scheme in core/scramble.h.

#include "core/log.h"
#include "core/scramble.h"
#include "support/scramble_twin.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

struct Vector {
    CodeKind kind;
    const char* plain;
    const char* stored;
};

// Alphabet indices: '0'..'9' 0..9, 'A'..'Z' 10..35, 'a'..'z' 36..61, '-' 62, '_' 63.
// Key 13 41 7 29 53 17 3 37; offsets airline 0, type 3, registration 5.
const Vector kVectors[] = {
    // D 13+13=26 Q; L 21+(41+1)=63 _; H 17+(7+2)=26 Q; check 0+3+51=54 s
    {CodeKind::Airline, "DLH", "~Q_Qs"},
    // B 11+29=40 e; 7 7+(53+1)=61 z; 3 3+(17+2)=22 M; 8 8+(3+3)=14 E; check 33+4+29=66%64=2
    {CodeKind::Type, "B738", "~ezME2"},
    // D 13+17=30 U; - 62+(3+1)=66%64=2; A 10+(37+2)=49 n; I 18+(13+3)=34 Y; U 30+(41+4)=75%64=11 B;
    // A 10+(7+5)=22 M; check 55+6+143=204%64=12 C
    {CodeKind::Regcode, "D-AIUA", "~U2nYBMC"},
    // '.' is outside the alphabet: kept, counted as 46. N 23+17=40 e; 1 1+(3+1)=5; 2 2+(13+3)=18 I;
    // check 55+4+72=131%64=3
    {CodeKind::Regcode, "N1.2", "~e5.I3"},
    // Nine characters: the key wraps at the ninth. check 0+9+126=135%64=7
    {CodeKind::Airline, "ABCDEFGHI", "~NrLj7bPzd7"},
    {CodeKind::Airline, "", ""},
    {CodeKind::Type, "", ""},
    {CodeKind::Regcode, "", ""},
};

std::string lf_scramble(CodeKind kind, std::string_view plain)
{
    switch (kind) {
    case CodeKind::Airline:
        return testsupport::scrambleAirline(plain);
    case CodeKind::Type:
        return testsupport::scrambleType(plain);
    case CodeKind::Regcode:
        break;
    }
    return testsupport::scrambleRegcode(plain);
}

std::string lf_unscramble(CodeKind kind, std::string_view stored)
{
    switch (kind) {
    case CodeKind::Airline:
        return gf_unscrambleAirline(stored);
    case CodeKind::Type:
        return gf_unscrambleType(stored);
    case CodeKind::Regcode:
        break;
    }
    return gf_unscrambleRegcode(stored);
}

TEST(Scramble, HandComputedVectors)
{
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.plain);
        EXPECT_EQ(lf_scramble(v.kind, v.plain), v.stored);
        EXPECT_EQ(lf_unscramble(v.kind, v.stored), v.plain);
    }
}

TEST(Scramble, ShiftWrapsWithinTheAlphabet)
{
    EXPECT_EQ(gf_shiftCode('z', 2), '_');
    EXPECT_EQ(gf_shiftCode('_', 1), '0');
    EXPECT_EQ(gf_shiftCode('0', -1), '_');
    EXPECT_EQ(gf_shiftCode('A', 64), 'A');
    EXPECT_EQ(gf_shiftCode('A', -130), '8');
    EXPECT_EQ(gf_shiftCode('.', 5), '.');
}

TEST(Scramble, StoredCodesSurviveListSplitting)
{
    const char* plains[] = {"A320", "B77W", "DLH", "EZY", "G-EZAA", "N123AB", "JA8089", "9H-AEO", "a_b-c"};
    for (const char* plain : plains) {
        for (CodeKind kind : {CodeKind::Airline, CodeKind::Type, CodeKind::Regcode}) {
            const std::string stored = lf_scramble(kind, plain);
            EXPECT_EQ(stored.find_first_of(" \t\r\n,;"), std::string::npos) << stored;
            EXPECT_NE(stored, plain);
            EXPECT_EQ(lf_unscramble(kind, stored), plain);
        }
    }
    EXPECT_THROW(testsupport::scrambleRegcode("N1 23"), std::invalid_argument);
    EXPECT_THROW(testsupport::scrambleAirline("A,B"), std::invalid_argument);
    EXPECT_THROW(testsupport::scrambleType("A;B"), std::invalid_argument);
}

TEST(Scramble, PlainAndDamagedCodesAreTold)
{
    testsupport::TempFolder folder(true);
    gf_openLog();
    EXPECT_EQ(gf_unscrambleAirline("DLH"), "DLH");
    EXPECT_EQ(gf_unscrambleType("A320"), "A320");
    // A wrong check character, a code scrambled as another kind, a mark alone.
    EXPECT_EQ(gf_unscrambleAirline("~Q_Qt"), "");
    EXPECT_EQ(gf_unscrambleAirline(testsupport::scrambleType("B738")), "");
    EXPECT_EQ(gf_unscrambleRegcode("~"), "");
    gf_closeLog();
    const std::string log = testsupport::readTextFile(folder.path() / "Log.txt");
    EXPECT_NE(log.find("===> Unencrypted airline DLH in decrypt airl?\n"), std::string::npos);
    EXPECT_NE(log.find("===> decrypt airl \"~Q_Qt\" error\n"), std::string::npos);
    EXPECT_NE(log.find("===> decrypt reg \"~\" error\n"), std::string::npos);
    EXPECT_EQ(log.find("A320"), std::string::npos);
}

} // namespace
