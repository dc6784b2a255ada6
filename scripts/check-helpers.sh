# What the package checks share: each check says ok or FAIL, and the
# script's end counts the failures.
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}
