#!/usr/bin/env bash
# check_signing.sh PORTQUELL_EXE CLI_EXE: the release's signing round trip
# on copies of both programs, with a throwaway CA and code-signing
# certificate made here: each signs with SHA-256, verifies against that
# CA and no other, differs from the unsigned program only by its
# signature, and fails to verify once a byte is changed; a wrong password
# signs nothing, and the password is never printed.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sign="$here/../../tools/sign.sh"
failures=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
programs=("$(realpath "$1")" "$(realpath "$2")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ssl() { openssl "$@" >/dev/null 2>&1; }
ssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
ssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj "/CN=Another CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
ssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Portquell Test Signer"
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >ext.cnf
ssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 2 -extfile ext.cnf
password='Sign-Me-8c1f'
ssl pkcs12 -export -out signer.pfx -inkey signer.key -in signer.pem -certfile ca.pem -passout "pass:$password"
check "a throwaway CA and code-signing certificate" test -s signer.pfx

for exe in "${programs[@]}"; do
    name=$(basename "$exe")
    cp "$exe" "unsigned-$name"
    cp "$exe" "$name"
    PORTQUELL_SIGN_PASSWORD=wrong bash "$sign" sign signer.pfx "$name" >wrong.txt 2>&1
    check "$name: a wrong password signs nothing" cmp -s "$exe" "$name"
    PORTQUELL_SIGN_PASSWORD=$password bash "$sign" sign signer.pfx --time 1700000000 "$name" >said.txt 2>&1
    check "$name: signed" grep -q "^signed $name" said.txt
    check "$name: the password is never printed" bash -c "! grep -qF '$password' said.txt wrong.txt"
    check "$name: verifies against the CA, SHA-256" bash "$sign" verify --ca ca.pem "$name"
    check "$name: does not verify against another CA" bash -c "! bash '$sign' verify --ca other.pem '$name' >/dev/null 2>&1"
    check "$name: differs from the unsigned program only by its signature" bash "$sign" same "unsigned-$name" "$name"
    cp "$name" "changed-$name"
    printf 'X' | dd of="changed-$name" bs=1 seek=4096 conv=notrunc status=none
    check "$name: a byte changed after signing fails to verify" \
        bash -c "! bash '$sign' verify --ca ca.pem 'changed-$name' >/dev/null 2>&1"
done
echo "$failures failed"
[ "$failures" -eq 0 ]
