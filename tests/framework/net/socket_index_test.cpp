// The index of records by socket against a plain map, through adding and
// taking out in every order, up to as many sockets as there are handles:
// sockets that step by four (as the stand-in hands them out) and scattered
// ones, whose probes collide and wrap around the end of the places.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "net/network.h"
#include "net/socket_index.h"

namespace {

TEST(SocketIndex, FindsWhatAMapFinds) {
    auto index = std::make_unique<SocketIndex>();
    std::vector<NetworkRecord> records(kNetworkSlotCount);
    for (int spread = 0; spread < 2; ++spread) {
        SCOPED_TRACE(spread ? "scattered sockets" : "sockets stepping by four");
        ClearSocketIndex(index.get());
        std::map<SOCKET, NetworkRecord*> want;
        std::vector<SOCKET> keys;  // the same sockets, to pick one at random
        std::uint64_t x = 88172645463325252ull;
        auto next = [&] {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            return x;
        };
        SOCKET stepping = 0x100;
        for (int step = 0; step < 60000; ++step) {
            bool add = want.size() < kNetworkSlotCount && (want.empty() || next() % 3 != 0 ||
                                                           want.size() < kNetworkSlotCount / 2);
            if (add) {
                SOCKET s = spread ? static_cast<SOCKET>(next() % 100000) : (stepping += 4);
                NetworkRecord* r = &records[next() % records.size()];
                if (want.size() == kNetworkSlotCount - 1 && !want.count(s)) continue;
                IndexSocket(index.get(), s, r);
                if (!want.count(s)) keys.push_back(s);
                want[s] = r;
            } else {
                std::size_t at = next() % keys.size();
                UnindexSocket(index.get(), keys[at]);
                want.erase(keys[at]);
                keys[at] = keys.back();
                keys.pop_back();
            }
            if (step % 997 == 0) {
                for (const auto& [s, r] : want) ASSERT_EQ(FindSocket(index.get(), s), r) << "step " << step;
                ASSERT_EQ(FindSocket(index.get(), INVALID_SOCKET), nullptr);
                ASSERT_EQ(FindSocket(index.get(), 3), want.count(3) ? want[3] : nullptr);
            }
        }
        for (const auto& [s, r] : want) EXPECT_EQ(FindSocket(index.get(), s), r);
        UnindexSocket(index.get(), 0x7FFFFFFF);  // not there: nothing happens
        for (const auto& [s, r] : want) UnindexSocket(index.get(), s);
        for (const auto& [s, r] : want) EXPECT_EQ(FindSocket(index.get(), s), nullptr);
    }
}

}  // namespace
