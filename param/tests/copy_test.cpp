// Copies between parameter objects that other threads use at the same time, as a component's
// worker and its client do. Run under the tsan preset too.
#include "param/tests/paramtest.h"

#include <atomic>
#include <string>
#include <thread>

using namespace paramtest;

namespace
{
constexpr int kCopies = 300;

class ParamCopies : public ParamServer
{
};

// A round number; an empty text is round 0, what the source held before the first round.
int Number(const std::string &text)
{
    return text.empty() ? 0 : std::stoi(text);
}

// Runs `body` on another thread until the returned stopper is called.
class CBackground
{
  public:
    template <class Body> explicit CBackground(Body body)
    {
        thread_ = std::thread([this, body] {
            for (int i = 1; !stop_; ++i)
                body(i);
        });
    }
    ~CBackground() { Stop(); }
    void Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
} // namespace

// The writer sets LAN, then user, then NAT to the same round number. A copy taken at once sees
// LAN >= user >= NAT, never more than one round apart; a copy made one getter at a time could
// see a user newer than the LAN it read first.
TEST_F(ParamCopies, RouterCopyIsOneSnapshotWhileTheSourceChanges)
{
    ComPtr<IRouterParam> source = NewRouter();
    ComPtr<IRouterParam> target = NewRouter();
    ASSERT_TRUE(source && target);
    CBackground writer([&](int round) {
        const BStr text(std::to_string(round));
        source->SetLan(text.Get(), text.Get());
        source->SetUser(text.Get(), text.Get());
        source->SetNat(round);
    });
    for (int n = 0; n < kCopies; ++n)
    {
        ASSERT_EQ(source->CopyTo(target.Get()), S_OK);
        const RouterSnapshot copy = ReadAll(target.Get());
        const int lan = Number(copy.texts[0]), user = Number(copy.texts[8]), nat = copy.flags[0];
        ASSERT_EQ(copy.texts[0], copy.texts[1]);
        ASSERT_EQ(copy.texts[8], copy.texts[9]);
        ASSERT_GE(lan, user) << n;
        ASSERT_GE(user, nat) << n;
        ASSERT_LE(lan - nat, 1) << n;
    }
}

// Each round empties the list and adds four addresses tagged with the round: a copy holds a
// prefix of one round, never a mixture.
TEST_F(ParamCopies, TcpipCopyIsOneSnapshotWhileTheSourceChanges)
{
    ComPtr<ITcpipParam> source = NewTcpip();
    ComPtr<ITcpipParam> target = NewTcpip();
    ASSERT_TRUE(source && target);
    CBackground writer([&](int round) {
        source->Clear();
        for (int k = 1; k <= 4; ++k)
        {
            const BStr ip("10." + std::to_string(round % 250) + ".0." + std::to_string(k));
            const BStr mask("255.255.255." + std::to_string(k));
            source->AddIP(ip.Get(), mask.Get());
        }
    });
    for (int n = 0; n < kCopies; ++n)
    {
        ASSERT_EQ(target->CopyFrom(source.Get()), S_OK);
        const TcpipSnapshot copy = ReadAll(target.Get());
        ASSERT_LE(copy.ips.size(), 4u);
        std::string round;
        for (size_t k = 1; k <= copy.ips.size(); ++k)
        {
            const std::string &ip = copy.ips[k - 1].first;
            const std::string thisRound = ip.substr(0, ip.rfind('.'));
            if (k == 1)
                round = thisRound;
            ASSERT_EQ(thisRound, round) << n;
            ASSERT_EQ(ip, round + "." + std::to_string(k)) << n;
            ASSERT_EQ(copy.ips[k - 1].second, "255.255.255." + std::to_string(k)) << n;
        }
    }
}

// Copies in both directions and into itself at once, while a third thread reads through
// IDispatch: none waits for another forever.
TEST_F(ParamCopies, CrossingCopiesDoNotDeadlock)
{
    ComPtr<IRouterParam> a = NewRouter(), b = NewRouter();
    ComPtr<ITcpipParam> c = NewTcpip(), d = NewTcpip();
    ASSERT_TRUE(a && b && c && d);
    FillAll(a.Get(), 1);
    FillAll(b.Get(), 2);
    FillAll(c.Get(), 3);
    FillAll(d.Get(), 4);
    const RouterSnapshot sets[] = {ReadAll(a.Get()), ReadAll(b.Get())};
    const TcpipSnapshot tcpipSets[] = {ReadAll(c.Get()), ReadAll(d.Get())};
    CBackground backward([&](int) {
        b->CopyTo(a.Get());
        c->CopyFrom(d.Get());
    });
    CBackground itself([&](int) {
        a->CopyTo(a.Get());
        d->CopyFrom(d.Get());
    });
    CBackground reader([&](int) {
        BSTR ip = nullptr, mask = nullptr;
        if (SUCCEEDED(Invoke(a.Get(), DISPID_ROUTERPARAM_GETLAN, {Out(&ip), Out(&mask)})))
        {
            SysFreeString(ip);
            SysFreeString(mask);
        }
        LONG count = 0;
        Invoke(c.Get(), DISPID_TCPIPPARAM_GETIPCOUNT, {Out(&count)});
    });
    for (int n = 0; n < kCopies; ++n)
    {
        ASSERT_EQ(a->CopyTo(b.Get()), S_OK);
        ASSERT_EQ(d->CopyFrom(c.Get()), S_OK);
    }
    backward.Stop();
    itself.Stop();
    reader.Stop();
    // Every object ends with one of the two sets the pair started with, whole.
    for (IRouterParam *router : {a.Get(), b.Get()})
    {
        const RouterSnapshot now = ReadAll(router);
        EXPECT_TRUE(now == sets[0] || now == sets[1]);
    }
    for (ITcpipParam *tcpip : {c.Get(), d.Get()})
    {
        const TcpipSnapshot now = ReadAll(tcpip);
        EXPECT_TRUE(now == tcpipSets[0] || now == tcpipSets[1]);
    }
}
