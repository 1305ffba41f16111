#include "convert/word_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/pas_conversion.h"
#include "convert_test_support.h"

namespace lexiform {
namespace {

using test::Scan;
using Tokens = std::vector<std::string>;

// The reserved words as the language defines them; the lookup must find exactly these.
const char* const kReserved[] = {
    "ABSOLUTE",     "ABSTRACT",
    "AND",          "ARRAY",
    "AS",           "ASM",
    "ASSEMBLER",    "AUTOMATED",
    "BEGIN",        "CASE",
    "CDECL",        "CLASS",
    "CONST",        "CONSTRUCTOR",
    "DEFAULT",      "DESTRUCTOR",
    "DISPID",       "DISPINTERFACE",
    "DIV",          "DO",
    "DOWNTO",       "DYNAMIC",
    "ELSE",         "END",
    "EXCEPT",       "EXPORT",
    "EXPORTS",      "EXTERNAL",
    "FAR",          "FILE",
    "FINALIZATION", "FINALLY",
    "FOR",          "FORWARD",
    "FUNCTION",     "GOTO",
    "IF",           "IMPLEMENTATION",
    "IN",           "INDEX",
    "INHERITED",    "INITIALIZATION",
    "INLINE",       "INTERFACE",
    "IS",           "LABEL",
    "LIBRARY",      "MESSAGE",
    "MOD",          "NAME",
    "NEAR",         "NIL",
    "NODEFAULT",    "NOT",
    "OBJECT",       "OF",
    "OR",           "OUT",
    "OVERRIDE",     "PACKED",
    "PASCAL",       "PRIVATE",
    "PROCEDURE",    "PROGRAM",
    "PROPERTY",     "PROTECTED",
    "PUBLIC",       "PUBLISHED",
    "RAISE",        "READ",
    "READONLY",     "RECORD",
    "REGISTER",     "REPEAT",
    "RESIDENT",     "RESOURCESTRING",
    "SAFECALL",     "SET",
    "SHL",          "SHR",
    "STDCALL",      "STORED",
    "STRING",       "STRINGRESOURCE",
    "THEN",         "THREADVAR",
    "TO",           "TRY",
    "TYPE",         "UNIT",
    "UNTIL",        "USES",
    "VAR",          "VIRTUAL",
    "WHILE",        "WITH",
    "WRITE",        "WRITEONLY",
    "XOR",
};
const char* const kDirectives[] = {"AUTOMATED",      "INDEX",    "NAME",     "NODEFAULT",
                                   "READ",           "READONLY", "RESIDENT", "STORED",
                                   "STRINGRESOURCE", "WRITE",    "WRITEONLY"};
const char* const kPropertyEnds[] = {"END",       "FUNCTION", "PRIVATE",  "PROCEDURE",
                                     "PROTECTED", "PUBLIC",   "PUBLISHED"};

bool Listed(const std::string& upper, const char* const* begin, const char* const* end) {
  for (auto it = begin; it != end; ++it) {
    if (upper == *it) {
      return true;
    }
  }
  return false;
}

std::string Lower(std::string word) {
  for (char& c : word) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return word;
}

TEST(WordTablesTest, ReservedWordsAreFoundInAnyLetterCaseAndNothingElse) {
  ASSERT_EQ(std::size(kReserved), 99u);
  for (const char* word : kReserved) {
    EXPECT_TRUE(IsReservedWord(word)) << word;
    EXPECT_TRUE(IsReservedWord(Lower(word))) << word;
    // Neighbours in the sort order are found only when they are words of the table.
    for (const std::string& near : {std::string(word) + "A", std::string(word).substr(1),
                                    std::string(word).substr(0, std::string(word).size() - 1)}) {
      EXPECT_EQ(IsReservedWord(near), Listed(near, std::begin(kReserved), std::end(kReserved)))
          << near;
    }
  }
  EXPECT_TRUE(IsReservedWord("Begin"));
  EXPECT_TRUE(IsReservedWord("sTrInGrEsOuRcE"));
  for (const char* other : {"", "A", "BEGI", "BEGINS", "INTEGER", "_x", "Unit1", "Forward2",
                            "BEG\xC9N", "ZZZ", "\xFF"}) {
    EXPECT_FALSE(IsReservedWord(other)) << other;
  }
  EXPECT_FALSE(IsReservedWord(std::string_view("AND\0", 4)));
}

TEST(WordTablesTest, PropertyEndWords) {
  for (const char* word : kReserved) {
    EXPECT_EQ(IsPropertyEnd(word), Listed(word, std::begin(kPropertyEnds), std::end(kPropertyEnds)))
        << word;
  }
  EXPECT_TRUE(IsPropertyEnd("published"));
  EXPECT_FALSE(IsPropertyEnd("PROPERTY"));
}

// IsDirective and ClassifyWord (which reads precomputed flags instead of searching the
// small tables) must agree with the rule for every reserved word in both contexts.
TEST(WordTablesTest, ClassifyWordFollowsTheRuleForEveryReservedWord) {
  for (const bool inProperty : {false, true}) {
    for (const char* word : kReserved) {
      const std::string upper = word;
      bool expectedContext = inProperty;
      if (upper == "PROPERTY") {
        expectedContext = true;
      }
      if (Listed(upper, std::begin(kPropertyEnds), std::end(kPropertyEnds))) {
        expectedContext = false;
      }
      const bool directiveWord = Listed(upper, std::begin(kDirectives), std::end(kDirectives));
      const bool expectedDirective =
          directiveWord &&
          (!expectedContext || upper == "NAME" || upper == "RESIDENT" || upper == "STRINGRESOURCE");

      TPasConversion viaRule;
      viaRule.InProperty = inProperty;
      EXPECT_EQ(IsDirective(viaRule, Lower(upper)), expectedDirective) << word;
      EXPECT_EQ(viaRule.InProperty, expectedContext) << word;

      TPasConversion viaClassify;
      viaClassify.InProperty = inProperty;
      const TWordClass result = ClassifyWord(viaClassify, upper);
      EXPECT_EQ(result.Kind, expectedDirective ? TTokenKind::Directive : TTokenKind::Keyword)
          << word;
      EXPECT_EQ(result.OpensAssembler, upper == "ASM") << word;
      EXPECT_EQ(viaClassify.InProperty, expectedContext) << word;
    }
  }
}

// The scan's variant reads past the word; what follows it must not change the result.
TEST(WordTablesTest, ReadAheadClassificationIgnoresTheBytesAfterTheWord) {
  std::vector<std::string> words(std::begin(kReserved), std::end(kReserved));
  for (const char* other :
       {"X", "_x", "Unit1", "PROPERTYX", "Endless", "writeonlyx", "abcdefghijklmn"}) {
    words.emplace_back(other);
  }
  for (const std::string& word : words) {
    for (const bool inProperty : {false, true}) {
      for (const char* after :
           {"", "A", "sXXXXXXXXXXXXXXXXXX", "\xff\xff\xff\xff\xff\xff\xff\xff"}) {
        const std::string memory = Lower(word) + after + std::string(kWordReadAhead, 'Z');
        TPasConversion plain;
        plain.InProperty = inProperty;
        TPasConversion readAhead;
        readAhead.InProperty = inProperty;
        const TWordClass expected = ClassifyWord(plain, Lower(word));
        const TWordClass got =
            ClassifyWordReadAhead(readAhead, std::string_view(memory).substr(0, word.size()));
        EXPECT_EQ(got.Kind, expected.Kind) << word << " + " << after;
        EXPECT_EQ(got.OpensAssembler, expected.OpensAssembler) << word;
        EXPECT_EQ(readAhead.InProperty, plain.InProperty) << word;
      }
    }
  }
}

TEST(WordTablesTest, IdentifiersLeaveTheContextAlone) {
  for (const bool inProperty : {false, true}) {
    TPasConversion converter;
    converter.InProperty = inProperty;
    for (const char* word :
         {"_x", "Unit1", "Forward2", "PROPERTYX", "Endless", "averyveryverylongidentifiername"}) {
      const TWordClass result = ClassifyWord(converter, word);
      EXPECT_EQ(result.Kind, TTokenKind::Identifier) << word;
      EXPECT_FALSE(result.OpensAssembler);
      EXPECT_EQ(converter.InProperty, inProperty);
    }
  }
}

TEST(WordRuleScanTest, KeywordsKeepTheirSpelling) {
  EXPECT_EQ(Scan("begin Begin BEGIN forward"),
            (Tokens{"Keyword begin", "Space  ", "Keyword Begin", "Space  ", "Keyword BEGIN",
                    "Space  ", "Keyword forward"}));
  EXPECT_EQ(Scan("_x Unit1 Forward2"), (Tokens{"Identifier _x", "Space  ", "Identifier Unit1",
                                               "Space  ", "Identifier Forward2"}));
}

TEST(WordRuleScanTest, PropertyDeclarationTurnsMostDirectivesIntoKeywords) {
  EXPECT_EQ(Scan("property Name: string read FName write SetName;"),
            (Tokens{"Keyword property", "Space  ", "Directive Name", "Symbol :", "Space  ",
                    "Keyword string", "Space  ", "Keyword read", "Space  ", "Identifier FName",
                    "Space  ", "Keyword write", "Space  ", "Identifier SetName", "Symbol ;"}));
  EXPECT_EQ(Scan("procedure Read;"),
            (Tokens{"Keyword procedure", "Space  ", "Directive Read", "Symbol ;"}));
  // A semicolon does not end the context; the next function does.
  const Tokens tokens = Scan("property A: Integer read FA;\r\nindex stringresource\r\n"
                             "function Index: Integer;");
  EXPECT_EQ(tokens[12], "Keyword index");
  EXPECT_EQ(tokens[14], "Directive stringresource");
  EXPECT_EQ(tokens[16], "Keyword function");
  EXPECT_EQ(tokens[18], "Directive Index");
}

TEST(WordRuleScanTest, DefaultDispidAndStringResourceNeverChange) {
  for (const char* prefix : {"", "property "}) {
    const Tokens tokens = Scan(std::string(prefix) + "default dispid stringresource");
    const std::size_t first = tokens.size() - 5;
    EXPECT_EQ(tokens[first], "Keyword default");
    EXPECT_EQ(tokens[first + 2], "Keyword dispid");
    EXPECT_EQ(tokens[first + 4], "Directive stringresource");
  }
}

TEST(WordRuleScanTest, WordsInCommentsStringsAndAssemblerAreNotClassified) {
  EXPECT_EQ(Scan("{property} read")[2], "Directive read");
  EXPECT_EQ(Scan("'property' read")[2], "Directive read");
  EXPECT_EQ(Scan("// property\r\nread")[4], "Directive read");
  EXPECT_EQ(Scan("asm property end read").back(), "Directive read");
  // ...and a property-ending word in a comment does not end the context.
  EXPECT_EQ(Scan("property (* end *) read").back(), "Keyword read");
}

TEST(WordRuleScanTest, AsmInAnyCaseOpensAnAssemblerBlock) {
  for (const char* word : {"asm", "Asm", "ASM"}) {
    EXPECT_EQ(Scan(std::string(word) + " mov end"),
              (Tokens{std::string("Keyword ") + word, "Assembler  mov ", "Keyword end"}));
  }
  EXPECT_EQ(Scan("assembler mov"), (Tokens{"Keyword assembler", "Space  ", "Identifier mov"}));
}

} // namespace
} // namespace lexiform
