# The wave-output device and live playback.
