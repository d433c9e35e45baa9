#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scan/scan.h"

namespace {

const unsigned char *u(const std::string &s)
{
    return reinterpret_cast<const unsigned char *>(s.data());
}

int32_t len(const std::string &s)
{
    return static_cast<int32_t>(s.size());
}

int32_t dict_close(const std::string &s, int32_t start = 0)
{
    return find_dict_close(u(s), len(s), start, len(s));
}

int32_t type_key(const std::string &s)
{
    return find_name_top(u(s), len(s), 0, len(s));
}

}  // namespace

TEST(CharacterSets, ClassesDifferWhereTheyMust)
{
    EXPECT_TRUE(is_pdf_space(0));
    EXPECT_FALSE(is_pdf_space(11));   // VT is C white space only
    EXPECT_TRUE(is_c_space(11));
    EXPECT_FALSE(is_c_space(0));
    EXPECT_FALSE(is_gap_space(0));    // NUL and FF may not precede "endstream"
    EXPECT_FALSE(is_gap_space(12));
    EXPECT_TRUE(is_gap_space('\r'));
    EXPECT_TRUE(is_name_char('_'));
    EXPECT_FALSE(is_name_char('#'));
    EXPECT_FALSE(is_name_char(0xC3));  // bytes from 128 up are delimiters
    EXPECT_FALSE(is_alnum(0xE9));
    EXPECT_FALSE(is_token_delim(']'));
    EXPECT_TRUE(is_ref_delim(']'));
    EXPECT_FALSE(is_ref_end('('));
    EXPECT_TRUE(is_ref_end('>'));
}

TEST(KwAt, KeywordMustEndAtADelimiterOrTheBound)
{
    for (const char *ok : {"obj/", "obj ", "obj"})
        EXPECT_EQ(kw_at(u(ok), 0, len(ok), "obj"), 1) << ok;
    for (const char *bad : {"objx", "obj-", "obj.", "obj_", "ob"})
        EXPECT_EQ(kw_at(u(bad), 0, len(bad), "obj"), 0) << bad;
    std::string s = "xobjx";
    EXPECT_EQ(kw_at(u(s), 1, 4, "obj"), 1);  // the bound ends the keyword
    EXPECT_EQ(kw_at(u(s), -1, 4, "obj"), 0);
}

TEST(FindKw, LooksAtTheByteBeforeEvenAtTheStart)
{
    std::string s = "xtrailer";
    EXPECT_EQ(find_kw(u(s), len(s), 1, "trailer"), -1);
    std::string t = "trailer<<";
    EXPECT_EQ(find_kw(u(t), len(t), 0, "trailer"), 0);
    std::string w = "startxref 1 xref\n";
    EXPECT_EQ(find_kw(u(w), len(w), 0, "xref"), 12);
    EXPECT_EQ(find_kw(u(w), len(w), 0, ""), -1);
    EXPECT_EQ(find_kw(u(w), len(w), -1, "xref"), -1);
    std::string e = "data endstream";
    EXPECT_EQ(find_kw(u(e), len(e), 0, "endstream"), 5);
    EXPECT_EQ(find_kw(u(e), len(e) - 1, 0, "endstream"), -1);
}

TEST(FindName, NameMustEndAtADelimiter)
{
    std::string s = "/Pages /PageLayout /Type/Page>>";
    EXPECT_EQ(find_name(u(s), len(s), 0, len(s), "Page"), 24);
    std::string t = "(a /Page in a string)";
    EXPECT_EQ(find_name(u(t), len(t), 0, len(t), "Page"), 3);
    std::string e = "x/Page";
    EXPECT_EQ(find_name(u(e), len(e), 0, len(e), "Page"), 1);
    EXPECT_EQ(find_name(u(e), len(e), 0, len(e) - 1, "Page"), -1);
    EXPECT_EQ(find_name(u(e), len(e), 2, len(e), "Page"), -1);
}

TEST(FindDictClose, SkipsStringsHexStringsCommentsAndNesting)
{
    std::string s = "<< /A (x>>y) /B <3E3E> /C << >> >>";
    EXPECT_EQ(dict_close(s), len(s) - 2);
    EXPECT_EQ(dict_close("<<>>"), 2);
    EXPECT_EQ(dict_close("<< /A (unterminated"), -1);
    std::string c = "<< % >>\n/A 1 >>";
    EXPECT_EQ(dict_close(c), len(c) - 2);
    EXPECT_EQ(dict_close("<< /A 1 >>", 1), -1);
    EXPECT_EQ(dict_close("<< /A (a\\) >>) >>"), 15);
    EXPECT_EQ(dict_close("<< /A (a(b)c) >>"), 14);
    EXPECT_EQ(dict_close("<< /A <>"), -1);
    EXPECT_EQ(dict_close("<< /A <"), -1);
    EXPECT_EQ(dict_close("<< /A (x\\"), -1);
    EXPECT_EQ(dict_close("<< % no end"), -1);
}

TEST(FindNameTop, OnlyTheOwnDictionaryCounts)
{
    std::string s = "<< /Resources << /Type /Font >> /Type /Page >>";
    EXPECT_EQ(type_key(s), 32);
    EXPECT_EQ(type_key("<< /A (/Type) >>"), -1);
    EXPECT_EQ(type_key("<< /A <2F54797065> /Type"), 19);
    EXPECT_EQ(type_key(">> << << >> /Type /Page >>"), 12);  // depth never below 0
    EXPECT_EQ(type_key("<< /Types 1 /Type"), 12);
    EXPECT_EQ(type_key("<< /Typ"), -1);
}

TEST(ParseIntAt, SignsWhiteSpaceAndWrap)
{
    std::string s = "  -12x";
    int32_t c = 0;
    EXPECT_EQ(parse_int_at(u(s), len(s), &c), -12);
    EXPECT_EQ(c, 5);
    for (const char *bad : {"- 12", "+", "x", "\v12", "", "  "}) {
        std::string b = bad;
        int32_t cur = 0;
        EXPECT_EQ(parse_int_at(u(b), len(b), &cur), -1) << bad;
        EXPECT_EQ(cur, 0) << bad;
    }
    std::string w = "4294967297";
    c = 0;
    EXPECT_EQ(parse_int_at(u(w), len(w), &c), 1);
    std::string p = "+7 ";
    c = 0;
    EXPECT_EQ(parse_int_at(u(p), len(p), &c), 7);
    EXPECT_EQ(c, 2);
    std::string m = "-2147483648";
    c = 0;
    EXPECT_EQ(parse_int_at(u(m), len(m), &c), INT32_MIN);
    std::string cut = "123";
    c = 0;
    EXPECT_EQ(parse_int_at(u(cut), 2, &c), 12);  // the bound ends the digits
}

TEST(ParseBox, ReadsFourPlainNumbers)
{
    double b[4];
    std::string s = "/MediaBox[ -1.5 .5 +3 4. ]";
    ASSERT_EQ(parse_box(u(s), len(s), 0, "MediaBox", b), 1);
    EXPECT_DOUBLE_EQ(b[0], -1.5);
    EXPECT_DOUBLE_EQ(b[1], 0.5);
    EXPECT_DOUBLE_EQ(b[2], 3);
    EXPECT_DOUBLE_EQ(b[3], 4);
    std::string five = "/MediaBox [0 0 612 792 5]";
    ASSERT_EQ(parse_box(u(five), len(five), 0, "MediaBox", b), 1);
    EXPECT_DOUBLE_EQ(b[3], 792);
    for (const char *bad : {"/MediaBox [0 0 612]", "/MediaBox [1e3 0 0 0]",
                            "/MediaBox 3 0 R", "/MediaBox [0,0,612,792]",
                            "/MediaBox\v[0 0 1 1]", "/MediaBox [0 0 1 - 1]", "/CropBox [0 0 1 1]"}) {
        std::string t = bad;
        EXPECT_EQ(parse_box(u(t), len(t), 0, "MediaBox", b), 0) << bad;
    }
}

TEST(LexNext, StepsOverOneConstructAtATime)
{
    struct step_case {
        const char *text;
        lex_kind kind;
        int32_t next;
    } cases[] = {
        {"%c\nx", LEX_COMMENT, 3}, {"(a(b)\\)c)x", LEX_STRING, 9}, {"<4 1>x", LEX_HEX_STRING, 5},
        {"<<x", LEX_DICT_OPEN, 2}, {">>x", LEX_DICT_CLOSE, 2},     {">x", LEX_BYTE, 1},
        {"/x", LEX_BYTE, 1},       {">", LEX_END, 1},              {"<", LEX_END, 1},
        {"(", LEX_END, 1},         {"(a", LEX_END, 2},             {"%c", LEX_END, 2},
    };
    for (const step_case &c : cases) {
        std::string s = c.text;
        lex_step step = lex_next(u(s), 0, len(s));
        EXPECT_EQ(step.kind, c.kind) << s;
        EXPECT_EQ(step.next, c.next) << s;
    }
}

TEST(RefAt, EachRuleAcceptsWhatItsReaderNeeds)
{
    // Accepted by REF_SCANNED, REF_VALUE, REF_TREE, REF_LENGTH.
    struct ref_case {
        const char *text;
        bool accepted[4];
    } cases[] = {
        {"12 0 R", {true, true, true, true}},     {"+12 0 R", {true, true, true, true}},
        {"12 R", {false, false, true, false}},    {"12 0R", {false, true, true, true}},
        {"12 0 RG", {false, false, true, false}}, {"12 0 R(", {true, false, true, true}},
        {"12 0 obj", {false, false, false, false}},
    };
    const ref_rule *rules[4] = {&REF_SCANNED, &REF_VALUE, &REF_TREE, &REF_LENGTH};
    for (const ref_case &c : cases) {
        std::string s = c.text;
        for (int k = 0; k < 4; k++) {
            ref_parts parts;
            int32_t after = ref_at(u(s), 0, len(s), *rules[k], &parts);
            EXPECT_EQ(after >= 0, c.accepted[k]) << s << " rule " << k;
            EXPECT_EQ(parts.num, 12) << s;
        }
    }
    // A scan that fails at N tries again after N's digits, not after the
    // whole attempt: "1 2 0 R" refers to 2.
    std::string s = "1 2 0 R";
    int32_t pos = 0, num = 0;
    ASSERT_EQ(find_ref(u(s), len(s), &pos, &num), 1);
    EXPECT_EQ(num, 2);
    EXPECT_EQ(pos, len(s));
}

TEST(SkipArray, StringsCommentsAndDictionariesHideBrackets)
{
    std::string s = "[(a]b) <5d> [1] %]\n]x";
    EXPECT_EQ(skip_array(u(s), 0, len(s)), len(s) - 1);
    std::string dict = "[<< /A ] >> 1]";
    EXPECT_EQ(skip_array(u(dict), 0, len(dict)), len(dict));
    std::string open = "[1 (]";
    EXPECT_EQ(skip_array(u(open), 0, len(open)), -1);
}

TEST(ObjHeaderSkip, TheWhiteSpaceSetDecidesWhereTheHeaderEnds)
{
    std::string s = "12\x0b" "0 obj 5";
    EXPECT_EQ(obj_header_skip(u(s), 0, len(s), SPACE_C), 8);
    EXPECT_EQ(obj_header_skip(u(s), 0, len(s), SPACE_PDF), 5);
    int32_t start = -1, gen = -1;
    EXPECT_EQ(obj_header_before(u(s), 5, &start, &gen), 12);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(gen, 0);
    EXPECT_EQ(obj_header_skip(u(s), 0, 6, SPACE_C), 6);  // cut at the limit
}

TEST(DecodeString, EscapesEndsOfLineAndHexDigits)
{
    struct {
        const char *text;
        std::string bytes;
    } cases[] = {
        {"(plain)", "plain"},
        {"(a\\(b\\)c\\\\d)", "a(b)c\\d"},
        {"(\\n\\r\\t\\b\\f)", "\n\r\t\b\f"},
        {"(\\101\\0612\\7777)", std::string("A12\xFF" "7", 5)},  // three digits at most, mod 256
        {"(\\0)", std::string(1, '\0')},
        {"(a\\\r\nb\\\nc)", "abc"},                  // a backslash before an end of line
        {"(a\r\nb\rc\nd)", "a\nb\nc\nd"},            // an end of line alone is one LF
        {"(\\q(nested)x)", "q(nested)x"},            // unknown escape: the byte is kept
        {"<41 42\n4>", "AB@"},                       // white space passed over, lone digit
        {"<4a4B>", "JK"},
        {"<>", ""},
    };
    for (const auto &c : cases) {
        std::string t = c.text;
        unsigned char out[64];
        int32_t n = -1;
        int32_t after = t[0] == '(' ? decode_literal_string(u(t), 0, len(t), out, 64, &n)
                                    : decode_hex_string(u(t), 0, len(t), out, 64, &n);
        EXPECT_EQ(after, len(t)) << t;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), static_cast<size_t>(n)), c.bytes) << t;
    }
    // A string that runs to the limit gives nothing; a small room still
    // gets the full count, and only the bytes that fit.
    std::string open = "(abc";
    int32_t n = 7;
    EXPECT_EQ(decode_literal_string(u(open), 0, len(open), nullptr, 0, &n), -1);
    EXPECT_EQ(n, 0);
    std::string t = "(abcdef)";
    unsigned char two[2];
    EXPECT_EQ(decode_literal_string(u(t), 0, len(t), two, 2, &n), len(t));
    EXPECT_EQ(n, 6);
    EXPECT_EQ(two[1], 'b');
}

TEST(Comments, AreWhiteSpaceAndHideNames)
{
    // A comment ends at its first line-end byte; an allowance, once spent,
    // stops the skip at the next '%'.
    std::string s = " % a\r\n\t%b\n x";
    EXPECT_EQ(skip_space_comments(u(s), 0, len(s)), len(s) - 1);
    int64_t allowance = 3;
    EXPECT_EQ(skip_space_comments(u(s), 0, len(s), SPACE_PDF, &allowance), 7);
    std::string open = " %runs on";
    EXPECT_EQ(skip_space_comments(u(open), 0, len(open)), len(open));

    // Names asked about in the order they stand: in a string, in a comment
    // (twice in one), outside, in an array's comment, and in a comment that
    // runs to the limit.
    std::string t = "<< /A (50% /B) % /C /D\n/E [% /F\n] /G (x\n%) /H % /I";
    comment_walk w = comment_walk_begin(0, len(t));
    auto at = [&t](const char *name) { return static_cast<int32_t>(t.find(name)); };
    int32_t line_end = at("/E");
    EXPECT_EQ(comment_holding(u(t), &w, at("/B")), -1);
    EXPECT_EQ(comment_holding(u(t), &w, at("/C")), line_end);
    EXPECT_EQ(comment_holding(u(t), &w, at("/D")), line_end);
    EXPECT_EQ(comment_holding(u(t), &w, at("/E")), -1);
    EXPECT_EQ(comment_holding(u(t), &w, at("/F")), at("] /G"));
    EXPECT_EQ(comment_holding(u(t), &w, at("/H")), -1);  // the '%' is the string's
    EXPECT_EQ(comment_holding(u(t), &w, at("/I")), len(t));
    EXPECT_LE(w.examined, 2 * len(t));
}
