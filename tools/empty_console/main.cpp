// An empty console program: what starting a program costs under Wine, beside the check.
int main() {
    return 0;
}
