// The adapter model core: freestanding, fixed-size state, no host calls.
