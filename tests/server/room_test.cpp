#include "chatserver.h"

#include <gtest/gtest.h>

using Rooms = ServerTest;

TEST_F(Rooms, EntryBlockListsTypeUsersAndExits) {
    auto ann = LoggedIn(server, "Ann");
    RawClient bob(server.ChatPort());
    bob.Login("Bob", "pw", "Lobby");
    EXPECT_TRUE(
        bob.WaitFor("\x01<begin>\r\n<newroom>\r\n<roomtype> chat\r\n<user> Ann\r\n<user> Bob\r\n"
                    "<exit> north\r\n<exit> east\r\n<exit> south\r\n<end>\r\n"));
    // Description and exits follow as coloured lines.
    EXPECT_TRUE(bob.WaitFor("\x1b[0;30mExits: north, east, south\x1b[0;m\r\n"));
    // Ann sees Bob come in: the block and a notice in her enter-message style.
    EXPECT_TRUE(ann->WaitFor("\x01<begin>\r\n<enter> Bob\r\n<end>\r\n"));
    EXPECT_TRUE(ann->WaitFor("\x1b[1;30mBob has entered the room.\x1b[0;m\r\n"));
}

TEST_F(Rooms, MovementByExitAndGotoWithEnterAndLeave) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");
    ann->Drain();
    ann->Take();

    bob->Send("north\n");
    ASSERT_TRUE(bob->WaitFor("Exits: "));
    auto lines = BlockLines(bob->Take());
    EXPECT_TRUE(Has(lines, "roomtype|chat"));
    EXPECT_TRUE(Has(lines, "exit|south"));
    EXPECT_FALSE(Has(lines, "user|Ann"));
    ASSERT_TRUE(ann->WaitFor("Bob has left the room."));
    EXPECT_TRUE(Has(BlockLines(ann->Take()), "leave|Bob"));

    // Ann asks not to see movement notices: she still gets the blocks, not the lines.
    ann->Send("sysmsg off\nignore add movement\n");
    ann->Send("goto Bob\n");
    ASSERT_TRUE(ann->WaitFor("Exits: "));
    EXPECT_TRUE(Has(BlockLines(ann->Take()), "user|Bob"));
    ASSERT_TRUE(bob->WaitFor("<enter> Ann\r\n"));
    bob->Send("goto library\n");
    ASSERT_TRUE(bob->WaitFor("Exits: west"));
    ASSERT_TRUE(ann->WaitFor("<leave> Bob\r\n"));
    ann->Drain();
    EXPECT_EQ(ann->Received().find("has left"), std::string::npos);
}

TEST_F(Rooms, AuditoriumPrivateRoomsAndUsers) {
    auto ann = LoggedIn(server, "Ann", "Auditorium");
    auto bob = LoggedIn(server, "Bob");
    ann->Send("users\n");
    ASSERT_TRUE(ann->WaitFor("Bob (Lobby)"));
    ann->Send(Request("createprivate"));
    ASSERT_TRUE(ann->WaitFor("Exits: out"));
    EXPECT_TRUE(Has(BlockLines(ann->Received()), "user role=roomop|Ann"));
    bob->Send("goto Ann\n");
    ASSERT_TRUE(bob->WaitFor("<user role=roomop> Ann\r\n"));
}

TEST_F(Rooms, FollowersMoveWithTheLeaderAndConfirmationsGoBothWays) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");
    // The leader kicks the follower off, the follower stops himself, the follower disconnects.
    const std::pair<RawClient*, std::string> ends[] = {
        {ann.get(), "stopfollow Bob\n"}, {bob.get(), "stopfollow Ann\n"}, {bob.get(), "quit\r\n"}};
    for (const auto& [who, command] : ends) {
        SCOPED_TRACE(command);
        bob->Send("follow Ann\n");
        ASSERT_TRUE(bob->WaitFor("<iamfollowing> Ann\r\n"));
        ASSERT_TRUE(ann->WaitFor("<followingme> Bob\r\n"));
        if (who == ann.get()) {
            ann->Send("east\n");
            ASSERT_TRUE(bob->WaitFor("You follow Ann.") && bob->WaitFor("Exits: west"));
        }
        ann->Take();
        bob->Take();
        who->Send(command);
        ASSERT_TRUE(ann->WaitFor("<stoppedfollowingme> Bob\r\n"));
        EXPECT_TRUE(command == "quit\r\n" || bob->WaitFor("<nolongerfollowing>\r\n"));
    }
}
