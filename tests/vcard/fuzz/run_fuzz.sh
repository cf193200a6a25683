#!/usr/bin/env bash
# Builds the vCard fuzzer with clang into <build dir> and runs it for <seconds> on a seed
# corpus of small vCard files of each version. What fails the run: tests/fuzz/libfuzzer.sh.
#
#   run_fuzz.sh <build dir> [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
seconds="${2:-20}"

source "$here/../../fuzz/libfuzzer.sh"
prepare_fuzzer "$here" "$build"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xe5\xbc\xa0\xe4\xbc\x9f\r\nN:\xe5\xbc\xa0;\xe4\xbc\x9f;;;\r\nCATEGORIES:a\\,b\r\nTEL;TYPE=WORK,FAX:1\r\nORG:x\\;y;z\r\nADR;TYPE=WORK:;;s;c;r;p;\r\nNOTE:l1\\nl2\\r\r\n  folded\r\nEND:VCARD\r\n' \
    > "$corpus/seeds/v3.vcf"
printf 'BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=GB2312;ENCODING=QUOTED-PRINTABLE:=D5=C5;=CE=B0=\n=CE=B0\nTEL;CELL;VOICE:138\nAGENT:\nBEGIN:VCARD\nFN:b\nEND:VCARD\nEND:VCARD\n' \
    > "$corpus/seeds/v21.vcf"
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Anna\r\nGENDER:F\r\nTEL;VALUE=uri;TYPE="cell,voice":tel:+1\r\nitem1.EMAIL;TYPE=work:a@b\r\nPHOTO;ENCODING=b:AAAA\r\nEND:VCARD\r\n' \
    > "$corpus/seeds/v4.vcf"

run_fuzzer "$build" fuzz_vcard "$seconds"
