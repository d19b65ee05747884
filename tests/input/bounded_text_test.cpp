#include "input/bounded_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/caught_error.h"

namespace pelmora {
namespace {

// The lines of `text` as the reader gives them, or its refusal.
struct Outcome {
  std::vector<std::string> lines;
  std::string refusal;
};

Outcome read_all(const std::string& text, TextBounds bounds) {
  std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (text.empty()) stream = std::fopen("/dev/null", "rb");
  Outcome outcome;
  const auto error = testing::caught_error([&] {
    BoundedTextReader reader(stream, "t.txt", "Table", bounds);
    while (const auto line = reader.next_line()) {
      outcome.lines.emplace_back(*line);
      EXPECT_EQ(reader.line_number(), outcome.lines.size());
    }
  });
  std::fclose(stream);
  if (error) outcome.refusal = error->message();
  return outcome;
}

TEST(BoundedText, GivesTheLinesWithinTheBoundsAndRefusesBeyond) {
  struct Case {
    std::string text;
    TextBounds bounds;
    std::vector<std::string> lines;
    std::string refusal;
  };
  const TextBounds roomy{100, 10};
  // Lines that cross the reader's 64 KiB blocks.
  const std::string wide(70000, 'w');
  const Case cases[] = {
      {"", roomy, {}, ""},
      {"a\nbb\n\nc", roomy, {"a", "bb", "", "c"}, ""},
      {"a\r\n\n", roomy, {"a\r", ""}, ""},
      {std::string("a\0b\n", 4), roomy, {std::string("a\0b", 3)}, ""},
      {wide + "\n" + wide, {70000, 3}, {wide, wide}, ""},
      {"12345\n123456\n",
       {5, 10},
       {"12345"},
       "Table t.txt, line 2: the line is longer than 5 bytes, more than such a file may hold."},
      {wide,
       {65536, 3},
       {},
       "Table t.txt, line 1: the line is longer than 65536 bytes, more than such a file may "
       "hold."},
      {"1\n2\n3\n", {10, 3}, {"1", "2", "3"}, ""},
      {"1\n2\n3\n\n",
       {10, 3},
       {"1", "2", "3"},
       "Table t.txt, line 4: the file goes on beyond 3 lines, more than such a file may hold."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    const Outcome outcome = read_all(c.text, c.bounds);
    EXPECT_EQ(outcome.lines, c.lines);
    EXPECT_EQ(outcome.refusal, c.refusal);
  }
}

TEST(BoundedText, HeaderMaySetTheBoundOnLines) {
  const std::string text = "2\na\nb\nc\n";
  std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  const auto error = testing::caught_error([&] {
    BoundedTextReader reader(stream, "t.txt", "Table", TextBounds{10, 100});
    reader.limit_lines(1 + std::stoul(std::string(*reader.next_line())));
    while (reader.next_line()) {
    }
  });
  std::fclose(stream);
  ASSERT_TRUE(error);
  EXPECT_EQ(
      error->message(),
      "Table t.txt, line 4: the file goes on beyond 3 lines, more than such a file may hold.");
}

TEST(BoundedText, EndlessInputStopsAtTheFirstBound) {
  // /dev/zero is one endless line.
  const auto zero = testing::caught_error([] {
    BoundedTextReader reader("/dev/zero", "Table", TextBounds{1 << 20, 10});
    while (reader.next_line()) {
    }
  });
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->kind(), ErrorKind::kInput);
  EXPECT_EQ(zero->message(),
            "Table /dev/zero, line 1: the line is longer than 1048576 bytes, more than such a "
            "file may hold.");
  const auto missing =
      testing::caught_error([] { BoundedTextReader("/nonexistent/t.txt", "Table", {}); });
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->kind(), ErrorKind::kIo);
  EXPECT_EQ(missing->message(), "Could not read from file /nonexistent/t.txt");
}

}  // namespace
}  // namespace pelmora
