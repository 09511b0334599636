// Placeholder until the headless host lands.
