#pragma once

#include <mutex>

// Guards a renderer's frame. A producer that writes frames back to back would
// win a plain mutex again and again the moment it unlocks, leaving the GUI
// thread waiting to paint; here a painter first takes a gate that every
// producer passes before its next frame, so the painter is next in line.
class FrameMutex {
public:
    // Producer side (lockBuffer, unlockBuffer and the planar copies).
    void lock()
    {
        std::lock_guard<std::mutex> gate(m_gate);
        m_frame.lock();
    }
    void unlock() { m_frame.unlock(); }

    // GUI-thread side, held while the frame is read or reset.
    class PaintLock {
    public:
        explicit PaintLock(FrameMutex& mutex) : m_gate(mutex.m_gate), m_frame(mutex.m_frame) {}

    private:
        std::lock_guard<std::mutex> m_gate;
        std::lock_guard<std::mutex> m_frame;
    };

private:
    std::mutex m_gate;
    std::mutex m_frame;
};
