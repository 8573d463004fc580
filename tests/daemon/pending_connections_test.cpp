// The accept loop's waiting room: order, room, and the silence limit.
#include "daemon/pending_connections.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

int new_descriptor()
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    close(fds[1]);
    return fds[0];
}

bool is_open(int fd)
{
    return fcntl(fd, F_GETFD) != -1;
}

TEST(PendingConnections, ServesInArrivalOrderAndClosesWhatWasSilentTooLong)
{
    PendingConnections pending;
    int a = new_descriptor(), b = new_descriptor(), c = new_descriptor();
    pending.add(a, "127.0.0.1", 1000);
    pending.add(b, "127.0.0.2", 4000);
    pending.add(c, "127.0.0.3", 9000);
    EXPECT_EQ(pending.next_limit(5000), 6000);

    pollfd fds[PendingConnections::kRoom];
    pending.fill_poll(fds);
    EXPECT_EQ(fds[0].fd, a);
    EXPECT_EQ(fds[2].fd, c);

    char peer[16];
    EXPECT_EQ(pending.take(1, peer), b);
    EXPECT_STREQ(peer, "127.0.0.2");
    close(b);

    // At 11000 the first has been silent for 10 s; the third not yet.
    pending.close_silent(11000);
    EXPECT_FALSE(is_open(a));
    EXPECT_TRUE(is_open(c));
    EXPECT_EQ(pending.count(), 1);
    EXPECT_EQ(pending.next_limit(11000), 8000);
    EXPECT_EQ(pending.next_limit(30000), 0);
}

TEST(PendingConnections, RequestThatCameWhileAnotherWasServedIsKept)
{
    PendingConnections pending;
    int sent[2], silent[2];
    ASSERT_EQ(pipe(sent), 0);
    ASSERT_EQ(pipe(silent), 0);
    pending.add(sent[0], "127.0.0.1", 0);
    pending.add(silent[0], "127.0.0.2", 100);
    ASSERT_EQ(write(sent[1], "G", 1), 1);

    // Another client's answer took 30 s: only the silent one goes.
    pending.close_silent(30000);
    EXPECT_TRUE(is_open(sent[0]));
    EXPECT_FALSE(is_open(silent[0]));
    ASSERT_EQ(pending.count(), 1);
    EXPECT_EQ(pending.next_limit(30000), 0);
    char peer[16];
    EXPECT_EQ(pending.take(0, peer), sent[0]);
    EXPECT_STREQ(peer, "127.0.0.1");
    for (int fd : {sent[0], sent[1], silent[1]})
        close(fd);
}

TEST(PendingConnections, FullRoomClosesTheLongestWaiting)
{
    std::vector<int> fds;
    {
        PendingConnections pending;
        for (int i = 0; i <= PendingConnections::kRoom; i++) {
            fds.push_back(new_descriptor());
            pending.add(fds.back(), "127.0.0.1", i);
        }
        EXPECT_EQ(pending.count(), PendingConnections::kRoom);
        EXPECT_FALSE(is_open(fds[0]));
        EXPECT_TRUE(is_open(fds[1]));
    }
    // What still waited is closed with the room.
    for (int fd : fds)
        EXPECT_FALSE(is_open(fd)) << fd;
    EXPECT_EQ(PendingConnections().next_limit(0), -1);
}

TEST(PendingConnections, FullRoomKeepsARequestThatHasArrived)
{
    PendingConnections pending;
    int sent[2];
    ASSERT_EQ(pipe(sent), 0);
    ASSERT_EQ(write(sent[1], "G", 1), 1);
    pending.add(sent[0], "127.0.0.1", 0);
    std::vector<int> silent;
    for (int i = 0; i < PendingConnections::kRoom; i++) {
        silent.push_back(new_descriptor());
        pending.add(silent.back(), "127.0.0.2", 1 + i);
    }
    // The room was full: the oldest silent connection made way, not the
    // older one whose request is waiting.
    EXPECT_EQ(pending.count(), PendingConnections::kRoom);
    EXPECT_TRUE(is_open(sent[0]));
    EXPECT_FALSE(is_open(silent[0]));
    EXPECT_TRUE(is_open(silent[1]));
    char peer[16];
    EXPECT_EQ(pending.take(0, peer), sent[0]);
    close(sent[0]);
    close(sent[1]);
}

}  // namespace
