// The status pane's heading words and the console's choice of display font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConsoleFixture.h"
#include "ConsoleState.h"
#include "SvrSystem.h"
#include "zDisplay.h"
#include "zFont.h"

using console::ConsoleTest;

TEST(ConsoleFontChoice, FixedSizesScalableFontsAndEmptyLists) {
    const FONTCANDIDATE f8 = {8, FALSE}, f10 = {10, FALSE}, f12 = {12, FALSE}, scalable = {0, TRUE};
    struct Case {
        const char* what;
        std::vector<FONTCANDIDATE> fonts;
        int height;
        int chosen;
    } cases[] = {
        {"exact fixed size", {f8, f10, f12}, 10, 1},
        {"last of two equal smaller sizes", {f8, f10, f10}, 11, 2},
        {"above every fixed size: the scalable one", {f8, scalable, f10}, 20, 1},
        {"the last scalable one", {scalable, f12, scalable}, 9, 2},
        {"between sizes: the smaller one", {f8, f12, scalable}, 10, 0},
        {"only larger: the first larger", {f12, f10}, 8, 0},
        {"empty list", {}, 12, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.chosen, ZappChooseFont(c.fonts, c.height)) << c.what;
}

TEST(ConsoleFontChoice, AFaceWithoutFontsIsMadeByNameAtTheHeight) {
    ziInfoDisplay display;
    display.lock();
    zFont* font = ZappSelectFont(&display, "No Such Face Anywhere", 15, FALSE);
    display.unlock();
    ASSERT_NE(nullptr, font);
    EXPECT_STREQ("No Such Face Anywhere", font->logFont().lfFaceName);
    EXPECT_EQ(-15, font->logFont().lfHeight);
    EXPECT_EQ(0, font->logFont().lfWeight);
    EXPECT_EQ(VARIABLE_PITCH, font->logFont().lfPitchAndFamily & 3);
    delete font;
}

TEST_F(ConsoleTest, InterfaceStatusWordsAndTheActiveServiceCount) {
    MakeServer({});
    char text[64];
    EXPECT_STREQ("STARTUP", InterfaceStatus(text));
    APPDEFINITION* starting = types[0]->CreateAppDefinition();
    server->manager.starting = starting;
    EXPECT_STREQ("STARTING HTTP", InterfaceStatus(text));
    server->manager.starting = nullptr;
    server->ready = TRUE;
    server->servicesStarted = TRUE;
    EXPECT_STREQ("READY", InterfaceStatus(text));
    server->manager.pending = 1;
    EXPECT_STREQ("STARTUP", InterfaceStatus(text)) << "a service still starting";
    server->manager.pending = 0;
    server->closing = TRUE;
    EXPECT_STREQ("SHUTDOWN", InterfaceStatus(text));
    server->manager.running = 3;
    ApplicationsActive(text);
    EXPECT_STREQ("3", text);
    server->manager.running = 0;
    starting->freeobj();
}
