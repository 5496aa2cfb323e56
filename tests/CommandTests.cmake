# The editing, import, sample manager, sequencer and bounce commands.
