// A Windows program, which client-library-check refuses as no DLL.
int main() { return 0; }
