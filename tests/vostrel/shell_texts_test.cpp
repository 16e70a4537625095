// Texts the window builds, without a window.
#include "vostrel/shell_texts.h"
#include "vostrel/shell_messages.h"

#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(ShellTexts, HelpFailureMessagesAndCoordinates) {
    const std::string head = "Command\t= open\n\rFile\t= ./helpfiles/help.html\n\rCurrDir\t=/work\n\r\n\r";
    struct Case {
        int code;
        std::string tail;
    };
    const Case cases[] = {
        {2, "The specified file was not found"},
        {3, "The specified path was not found."},
        {8, "There was not enough memory to complete the operation. "},
        {11, "The .exe file is invalid (non-Win32\u00AE .exe or error in .exe image)."},
        {1, "Error code = 1"},
        {42, "Error code = 42"},
    };
    for (const Case& c : cases) EXPECT_EQ(lnd::helpFailureText("/work", c.code), head + c.tail) << c.code;
    // A launch that failed names the file it could not open, wherever that was found.
    EXPECT_EQ(lnd::helpFailureText("/work", 1, "/usr/share/landtoolkit/helpfiles/help.html"),
              "Command\t= open\n\rFile\t= /usr/share/landtoolkit/helpfiles/help.html\n\rCurrDir\t=/work\n\r\n\rError code = 1");
    // The directory is cut to 255 characters.
    const std::string longDir(300, 'd');
    EXPECT_NE(lnd::helpFailureText(longDir, 2).find("=" + std::string(255, 'd') + "\n\r"), std::string::npos);
    EXPECT_EQ(lnd::helpFailureText(longDir, 2).find(std::string(256, 'd')), std::string::npos);

    lndtest::TempDir dir;
    EXPECT_EQ(lnd::helpFileState(dir.path()), lnd::kLaunchPathNotFound);
    std::filesystem::create_directories(dir.file("helpfiles"));
    EXPECT_EQ(lnd::helpFileState(dir.path()), lnd::kLaunchFileNotFound);
    lndtest::writeBytes(dir.file("helpfiles/help.html"), {'<', 'p', '>'});
    EXPECT_EQ(lnd::helpFileState(dir.path()), 0);

    EXPECT_EQ(lnd::coordsText(12.5f, 1000.0f), "12.50,1000.00");
    EXPECT_EQ(lnd::coordsText(-1.0f, 0.004f), "-1.00,0.00");
    EXPECT_EQ(lnd::coordsText(3.14159f, 2.0f), "3.14,2.00");
}

TEST(ShellTexts, BoxesBreakEachLineOnceWithoutEmptyLines) {
    const struct {
        std::string text;
        const char* shown;
    } cases[] = {
        {lnd::helpFailureText("/work", 2),
         "Command\t= open\nFile\t= ./helpfiles/help.html\nCurrDir\t=/work\nThe specified file was not found"},
        {"Do you like to apply the modifications to the current block?\n\rIf you choose no,the modifications will be lose",
         "Do you like to apply the modifications to the current block?\nIf you choose no,the modifications will be lose"},
        {"a\n\rb\n\r\n\r\n\rc", "a\nb\nc"},
        {"a\r\nb\rc", "a\nb\nc"},
        {"A paragraph.\n\nAnother one.", "A paragraph.\n\nAnother one."},   // other texts keep theirs
        {"one line", "one line"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(lnd::boxText(c.text).toStdString(), c.shown) << c.text;
}

}  // namespace
