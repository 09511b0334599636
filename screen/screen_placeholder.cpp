// Placeholder until the screen lands.
