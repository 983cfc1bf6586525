// An executable that does nothing: the tests read the version block the build gave it.
int main() { return 0; }
