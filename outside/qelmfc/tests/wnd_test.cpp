// CWnd: posted calls and timers run on the window's thread; nothing runs for a destroyed window.
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/Wnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace
{
class Ventana : public CWnd
{
  public:
    bool Crear() { return CrearVentana("Ventana de prueba", nullptr) != FALSE; }
    void Destruir() { DestruirVentana(); }
    void OnTimer(UINT_PTR id) override
    {
        disparos.push_back(id);
        if (id == 7)
            KillTimer(7);
    }
    std::vector<UINT_PTR> disparos;
};
} // namespace

TEST(CWndTest, CallsPostedFromAnotherThreadRunOnTheWindowsThread)
{
    Ventana ventana;
    ASSERT_TRUE(ventana.Crear());
    EXPECT_TRUE(IsWindow(ventana.GetSafeHwnd()));
    const std::thread::id ui = std::this_thread::get_id();
    std::atomic<int> hechas{0};
    std::atomic<bool> otroHilo{false};
    std::thread trabajador([&] {
        for (int i = 0; i < 50; ++i)
            ventana.PostCall([&] {
                if (std::this_thread::get_id() != ui)
                    otroHilo = true;
                ++hechas;
            });
    });
    trabajador.join();
    EXPECT_TRUE(qelmfc::BombearHasta([&] { return hechas == 50; }, 10000));
    EXPECT_FALSE(otroHilo);
}

TEST(CWndTest, ADestroyedWindowRunsNothingMore)
{
    Ventana ventana;
    ASSERT_TRUE(ventana.Crear());
    const HWND hwnd = ventana.GetSafeHwnd();
    bool corrio = false;
    ASSERT_TRUE(ventana.PostCall([&] { corrio = true; }));
    ventana.SetTimer(3, 1);
    ventana.Destruir();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(ventana.PostCall([] {}));
    EXPECT_EQ(ventana.SetTimer(4, 1), 0u);
    qelmfc::BombearHasta([] { return false; }, 50);
    EXPECT_FALSE(corrio);
    EXPECT_TRUE(ventana.disparos.empty());
}

TEST(CWndTest, TimersFireByIdUntilKilled)
{
    Ventana ventana;
    ASSERT_TRUE(ventana.Crear());
    EXPECT_EQ(ventana.SetTimer(7, 5), 7u);
    EXPECT_EQ(ventana.SetTimer(9, 5), 9u);
    EXPECT_TRUE(qelmfc::BombearHasta(
        [&] { return std::count(ventana.disparos.begin(), ventana.disparos.end(), 9u) >= 3; }, 10000));
    // Timer 7 killed itself at its first firing.
    EXPECT_EQ(std::count(ventana.disparos.begin(), ventana.disparos.end(), 7u), 1);
    EXPECT_TRUE(ventana.KillTimer(9));
    EXPECT_FALSE(ventana.KillTimer(9));
    const std::size_t antes = ventana.disparos.size();
    qelmfc::BombearHasta([] { return false; }, 40);
    EXPECT_EQ(ventana.disparos.size(), antes);
}
