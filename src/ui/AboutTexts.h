#pragma once

// What the about boxes say.

namespace lw {

inline constexpr const char* kAboutLoopWren =
    "LoopWren 1.2\n"
    "\n"
    "A small groovebox for your desktop: three channels of sixteen steps, eight banks of "
    "eight patterns, and a song sequencer with 128 slots to chain them into a track.\n"
    "\n"
    "Every step can start a sample and bring its own volume, a note-off, a retrigger that "
    "loops or stutters, and start and end points inside the sample. Drums play at a speed "
    "you set per step, instruments at the pitch of the note you pick, and loops stretch to "
    "last exactly one pattern. A tempo-synced delay, overdrive per channel, shuffle and a "
    "bed of vinyl crackle do the rest.\n"
    "\n"
    "Songs are saved as .LW files with their samples inside. A pattern, the whole song or "
    "the song loop renders to a WAV file, and any pattern can be bounced into a new loop "
    "sample.\n"
    "\n"
    "LoopWren stands on the work of others, with thanks:\n"
    "- Qt 6 draws the windows and dialogs (GNU LGPL version 3).\n"
    "- SDL2 sends the sound to your speakers (zlib licence).\n"
    "- libsoxr resamples imported sounds above 65535 Hz (GNU LGPL version 2.1).";

inline constexpr const char* kAboutKestra =
    "Kestra - in the making\n"
    "\n"
    "LoopWren has a sister on the way. Kestra is the bigger bird of the two: a tracker, "
    "planned with more channels, longer patterns and a small editor to trim, fade and "
    "reverse your sounds without leaving the program.\n"
    "\n"
    "It is meant to read LoopWren songs, so whatever you make today comes along.\n"
    "\n"
    "There is no release date. Kestra is built the way LoopWren was: slowly, in the "
    "evenings, one step at a time. Until it lands, keep your loops warm.";

inline constexpr const char* kAboutOskeLum =
    "Name: Oske Lum\n"
    "Trade: maker of small music programs\n"
    "Known for: LoopWren; talking about Kestra\n"
    "Habitat: a desk by the window, one lamp, two speakers\n"
    "Fuel: black tea and toast\n"
    "Last seen: nudging a hi-hat one step to the left\n"
    "Marks: hums basslines while typing\n"
    "Status: at large, still tweaking the delay feedback\n"
    "\n"
    "Note for the file: Oske Lum is made up. Any likeness to a real programmer is a lucky "
    "guess.";

} // namespace lw
