// Placeholder until graphics lands.
