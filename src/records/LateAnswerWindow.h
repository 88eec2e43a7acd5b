#pragma once
// How far back a late answer is still matched to its packet, in packets: the
// cycle looks this far back for the answers of lost packets, the log reader
// matches "*DR=05ddd" texts this far back, and the statistics keep this many
// recent packets to count a late answer once.
//
// 256: the longest period ratio a run meets is the slowest LoRa setting's
// minimum period over the fastest FSK one (66 s / 300 ms = 220): an answer
// as slow as the slowest air setting, on a run at the fastest period, comes
// about 220 packets after its own. The payload's three digits repeat every
// 1000 packets, so a window well below 1000 never matches the wrong packet.
namespace records {

constexpr int kLateAnswerWindow = 256;

}  // namespace records
