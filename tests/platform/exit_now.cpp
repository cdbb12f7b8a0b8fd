// Started by the process tests: ends at once.
int main() { return 0; }
