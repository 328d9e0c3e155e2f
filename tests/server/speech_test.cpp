#include "chatserver.h"
#include "clientunits.h"

#include <gtest/gtest.h>

using Speech = ServerTest;

namespace {

std::string AvatarOf(const ServerProcess& s, const std::string& lowerWire,
                     const std::string& wire) {
    return "<user avatar=http://127.0.0.1:" + std::to_string(s.HttpPort()) + "/avatars/" +
           lowerWire + ".gif name=" + wire + " >";
}

} // namespace

TEST_F(Speech, SayReachesOthersAsExactBytesCutIntoOneUnit) {
    auto ann = LoggedIn(server, "Ann Lee");
    auto bob = LoggedIn(server, "Bob");
    ASSERT_TRUE(ann->WaitFor("has entered the room."));
    ann->Take();
    bob->Send("say hello <b>there</b>\r\n");
    ASSERT_TRUE(ann->WaitFor("\"\r\n"));
    const std::string expected = AvatarOf(server, "bob", "Bob") +
                                 "<say username=\"Bob\">\x1b[1;31mBob\x1b[0;34m says, \"hello "
                                 "<b>there</b>\x1b[0;m\"\r\n";
    EXPECT_EQ(ann->Take(), expected);
    // The speaker gets the own-say form.
    ASSERT_TRUE(bob->WaitFor("\"\r\n"));
    EXPECT_NE(bob->Take().find("<say username=\"Bob\">\x1b[0;34mYou say, \"hello"),
              std::string::npos);

    // Emote and think end without the quote.
    ann->Send("emote waves.\nthink lunch?\n");
    ASSERT_TRUE(bob->WaitFor("lunch? )\x1b[0;m\r\n"));
    EXPECT_EQ(ClientUnits(bob->Take(), "Bob"),
              (std::vector<std::string>{"main beep: Ann Lee waves.",
                                        "main beep: Ann Lee . o O ( lunch? )"}));
}

TEST_F(Speech, TellsEchoesAndSeveralRecipients) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");
    auto cy = LoggedIn(server, "Cy", "Garden");
    ASSERT_TRUE(ann->WaitFor("has entered the room."));
    ann->Take();
    bob->Take();
    ann->Send("tell bob psst\r\n");
    ASSERT_TRUE(bob->WaitFor("\"\r\n"));
    EXPECT_EQ(bob->Received(), AvatarOf(server, "ann", "Ann") +
                                   "<tell to=\"Bob\" from=\"Ann\">\x1b[1;31mAnn\x1b[0;35m tells "
                                   "you, \"psst\x1b[0;m\"\r\n");
    bob->Take();
    ASSERT_TRUE(ann->WaitFor("\"\r\n"));
    EXPECT_EQ(ann->Take(),
              "<tell to=\"Bob\" from=\"Ann\">\x1b[0;35mYou tell Bob, \"psst\x1b[0;m\"\r\n");

    // Two recipients, one in another room.
    ann->Send("tell Bob,cy both of you\r\n");
    ASSERT_TRUE(cy->WaitFor("both of you\x1b[0;m\"\r\n"));
    EXPECT_TRUE(cy->WaitFor("<tell to=\"Bob,Cy\" from=\"Ann\">"));
    ASSERT_TRUE(bob->WaitFor("both of you"));
    ASSERT_TRUE(ann->WaitFor("both of you\x1b[0;m\"\r\n"));
    EXPECT_EQ(ClientUnits(ann->Take(), "Ann"),
              (std::vector<std::string>{"main: You tell Bob,Cy, \"both of you\""})); // one echo

    // Echo off: no own form any more; unknown names are reported.
    ann->Send("ECHO OFF\ntell bob quiet\ntell nobody x\r\n");
    ASSERT_TRUE(bob->WaitFor("quiet"));
    ASSERT_TRUE(ann->WaitFor("No one called nobody is online."));
    EXPECT_EQ(ann->Received().find("You tell"), std::string::npos);
}

TEST_F(Speech, IgnoreEmotionsShoutAndAvatarsOff) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");
    auto cy = LoggedIn(server, "Cy", "Garden");

    ann->Send("ignore add Bob\n");
    ASSERT_TRUE(ann->WaitFor("\x01<begin>\r\n<iamignoring> Bob\r\n<end>\r\n"));
    bob->Send("say can you hear me\n");
    ASSERT_TRUE(bob->WaitFor("can you hear me"));
    ann->Send("ignore remove Bob\n");
    ASSERT_TRUE(ann->WaitFor("<stoppedignoring> Bob\r\n"));
    ann->Drain();
    EXPECT_EQ(ann->Received().find("can you hear me"), std::string::npos);
    ann->Take();

    // Emotion words, alone or at someone, come as emotes from the actor.
    bob->Send("smile\nwave Ann\n");
    ASSERT_TRUE(ann->WaitFor("waves to Ann."));
    EXPECT_EQ(ClientUnits(ann->Take(), "Ann"),
              (std::vector<std::string>{"main beep: Bob smiles.", "main beep: Bob waves to Ann."}));

    ann->Send(Request("displayavatars", "off"));
    cy->Send("shout anyone?\n");
    ASSERT_TRUE(ann->WaitFor("anyone?\x1b[0;m\"\r\n"));
    EXPECT_EQ(ann->Received().rfind("<say username=\"Cy\">", 0), 0u);
    EXPECT_TRUE(bob->WaitFor("Cy\x1b[0;34m shouts, \"anyone?"));
}
