#!/usr/bin/env bash
# A signed installer under Wine: the demo installer signed with a test
# certificate made here passes osslsigncode's check, still lists its
# resources and installs every file of the sample; a byte changed in its
# payload after signing breaks the signature and is reported as a damaged
# installer (3, the installer's file named, nothing left in the target);
# tvo-pack refuses a signed installer as its input.
#   usage: signed.sh DEMO/setup.exe PLAIN-setup.exe TVO-PACK UNRAR.DLL SAMPLE-FOLDER
source "$(dirname "$0")/adminlib.sh"
demo="$1" plain="$2" pack="$3" library="$4" sample="$5"
keys="$E2E_TMP/keys" cd_dir="$E2E_TMP/CD"
mkdir -p "$keys" "$cd_dir"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=test -days 2 -keyout "$keys/key.pem" -out "$keys/cert.pem" \
  2>/dev/null || fail "openssl could not make the test certificate"
sign() { osslsigncode sign -certs "$keys/cert.pem" -key "$keys/key.pem" -in "$1" -out "$2" >/dev/null || fail "could not sign $1"; }
verify() { osslsigncode verify -CAfile "$keys/cert.pem" -in "$1" >"$E2E_TMP/verify" 2>&1; }
signed="$cd_dir/setup.exe" damaged="$cd_dir/damaged.exe"
sign "$demo" "$signed"
verify "$signed" || { cat "$E2E_TMP/verify" >&2; fail "the signature does not verify"; }
"$pack" --list "$demo" >"$E2E_TMP/list.plain"
"$pack" --list "$signed" >"$E2E_TMP/list.signed" || fail "tvo-pack --list refuses the signed installer"
cmp -s "$E2E_TMP/list.plain" "$E2E_TMP/list.signed" || fail "the signed installer lists other resources"
grep -q '^UNRAR_DLL' "$E2E_TMP/list.signed" && grep -q '^TVODEMO_0' "$E2E_TMP/list.signed" \
  || fail "resources missing: $(cat "$E2E_TMP/list.signed")"

# A byte of a resource's stored bytes 1.5 MB before the certificate table:
# past the program's image (the payload is 3 MB and more), well before the
# index, and inside what the signature covers.
read -r table table_size < <(certificate_table "$signed")
[ "$table" -gt 0 ] && [ "$table_size" -gt 0 ] || fail "no certificate table in the signed installer"
[ $((table + table_size)) = "$(stat -c %s "$signed")" ] || fail "the certificate table is not at the end"
cp "$signed" "$damaged"
flip_byte "$damaged" $((table - 1500000))
verify "$damaged" && fail "the changed installer still verifies"

start_wine
temp_before="$(temp_listing)"
# installer | target below C: | exit code | standard error holds
cases=(
  "$signed|PODPISANY|0|"
  "$damaged|USZKODZONY|3|uszkodzony"
)
for row in "${cases[@]}"; do
  IFS='|' read -r exe dir code message <<<"$row"
  target="$WINEPREFIX/drive_c/$dir"
  run_wine "$exe" --very-silent "--dir=C:\\$dir"
  expect_rc "$code" "$(basename "$exe")"
  if [ "$code" = 0 ]; then
    same_as_sample "$sample" "$target" "signed"
    [ "$(entry_value InstallLocation)" = "C:\\$dir" ] || fail "the signed installation is not entered: $(entry_values)"
  else
    grep -q "$message" "$E2E_TMP/err" || fail "$exe: the message does not say '$message': $(cat "$E2E_TMP/err")"
    grep -qF "$(winpath "$exe")" "$E2E_TMP/err" || fail "$exe: the message does not name the installer"
    [ ! -e "$target" ] || fail "$exe: left in the target: $(find "$target" | head -5)"
    [ "$(entry_value InstallLocation)" = 'C:\PODPISANY' ] || fail "the damaged run changed the entry: $(entry_values)"
  fi
  temp_as_before "$temp_before" "$exe"
  echo "$(basename "$exe"): exit code $RC"
done

# tvo-pack takes no signed installer: the payload would follow the certificate table.
sign "$plain" "$E2E_TMP/plain-signed.exe"
rc=0
"$pack" --no-compress --library "$library" --folder "$sample" "$E2E_TMP/plain-signed.exe" "$E2E_TMP/out.exe" >"$E2E_TMP/out" 2>&1 || rc=$?
[ "$rc" = 1 ] && grep -q 'is signed' "$E2E_TMP/out" || fail "tvo-pack packed a signed installer ($rc): $(cat "$E2E_TMP/out")"
[ ! -e "$E2E_TMP/out.exe" ] || fail "tvo-pack wrote an output for a signed input"
echo "ok: the signed installer verifies, lists, installs; a changed byte is damage; tvo-pack refuses it"
