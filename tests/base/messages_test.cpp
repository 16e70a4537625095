#include "base/messages.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace lnd;

TEST(Messages, RecorderKeepsEveryMessageAndAnswersFromItsScript) {
    RecordingMessages m;
    m.scriptAnswers({true, false});
    m.error("bad", "cap");
    EXPECT_TRUE(m.question("q1"));
    EXPECT_FALSE(m.question("q2", "", QuestionButtons::OkCancel));
    m.fallbackAnswer = true;
    EXPECT_TRUE(m.question("q3"));
    m.plain("note");
    ASSERT_EQ(m.count(), 5u);
    EXPECT_EQ(m.count(RecordingMessages::Kind::Question), 3u);
    EXPECT_EQ(m.entries()[0].caption, "cap");
    EXPECT_EQ(m.entries()[2].buttons, QuestionButtons::OkCancel);
    EXPECT_EQ(m.texts(), (std::vector<std::string>{"bad", "q1", "q2", "q3", "note"}));
}

TEST(Messages, StreamWritesOneLinePerMessageAndGivesItsFixedAnswer) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    StreamMessages m("lndtool", f, false);
    m.error("Error reading the file x.lnd");
    EXPECT_FALSE(m.question("Are you sure?", "delete block", QuestionButtons::OkCancel));
    m.plain("hello");
    std::rewind(f);
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof buf, f)) text += buf;
    std::fclose(f);
    EXPECT_EQ(text,
              "lndtool: error: Error reading the file x.lnd\n"
              "lndtool: question: Are you sure? [answered Cancel]\n"
              "lndtool: note: hello\n");
}
