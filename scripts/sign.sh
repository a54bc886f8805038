# shellcheck shell=bash
# Signing for scripts/package.sh (sourced, not run): a key in a .pfx, or on a
# token or HSM through PKCS#11; the variables are those of docs/releasing.md.
#
#   sign_setup <work dir>      reads the variables, checks the certificate chain and
#                              that the key is the certificate's: before any signature
#   sign <file>                an Authenticode signature (SHA-256), time-stamped
#   sign_detached <file>       <file>.p7s: a detached CMS signature, time-stamped
#   sign_verify <file>...      each signature checks out against the chain (and a
#                              .p7s against the file beside it), with its time stamp
#
# Sets signing (pkcs11, pkcs12 or empty: unsigned) and sign_chain (the chain, PEM,
# signer first). The PIN or password is kept in this shell, unexported: only the
# signing commands get it, through a pipe; every other child's environment lacks it.

sign_pin_given=${GLANCE_SIGN_PASSWORD+1}
sign_pin=${GLANCE_SIGN_PASSWORD-}
unset GLANCE_SIGN_PASSWORD

signing=
sign_chain=
sign_time=
sign_timestamps=()
sign_tsa_urls=()

sign_die() { echo "package: $*" >&2; exit 1; }
sign_warn() { printf 'package: %s\n' '************************************************************' "WARNING: $1" "${@:2}" \
    '************************************************************' >&2; }

# sign_pass <command...>: the command with the PIN on its standard input; without a
# PIN (GLANCE_SIGN_PASSWORD unset: a token without one, a PIN pad, or a PIN typed
# at the module's own prompt) the command gets none.
sign_pass() { printf '%s' "$sign_pin" | "$@"; }
sign_passin=() sign_readpass=()
[ -z "$sign_pin_given" ] || { sign_passin=(-passin stdin); sign_readpass=(-readpass /dev/stdin); }

# sign_engine: the OpenSSL engine that reaches the token: libp11's "pkcs11" unless
# GLANCE_SIGN_PKCS11_ENGINE names another, by name (looked up in OpenSSL's engine
# folder) or by path. osslsigncode takes the engine's file, openssl its id.
sign_engine() {
    local engine=${GLANCE_SIGN_PKCS11_ENGINE:-pkcs11} dir
    if [[ $engine != */* ]]; then
        dir=$(openssl version -e | sed -nE 's/^ENGINESDIR: "(.*)"/\1/p')
        [ -f "$dir/$engine.so" ] || sign_die "GLANCE_SIGN_PKCS11_ENGINE: no engine $engine in $dir"
        engine=$dir/$engine.so
    fi
    [ -f "$engine" ] || sign_die "GLANCE_SIGN_PKCS11_ENGINE: no file $engine"
    sign_engine_id=$(openssl engine dynamic -pre "SO_PATH:$engine" -pre LOAD 2>/dev/null |
        sed -nE 's/^Loaded: \(([^)]*)\).*/\1/p')
    [ -n "$sign_engine_id" ] || sign_die "GLANCE_SIGN_PKCS11_ENGINE: $engine is not an OpenSSL engine"
    # osslsigncode takes the engine's id from its file's name.
    mkdir -p "$sign_work/engine"
    sign_engine_file=$sign_work/engine/$sign_engine_id.so
    ln -sf "$(realpath "$engine")" "$sign_engine_file"
    # openssl loads it from its file by a configuration of its own.
    printf '%s\n' 'openssl_conf = conf' '[conf]' 'engines = engines' '[engines]' 'token = token' '[token]' \
        "engine_id = $sign_engine_id" "dynamic_path = $engine" >"$sign_work/engine.cnf"
}

# The certificates of a PEM file, one file each: <dir>/1.pem (the first)...
sign_split() {
    rm -rf "$2" && mkdir -p "$2"
    awk -v dir="$2" '/-----BEGIN CERTIFICATE-----/ { n++; on = 1 } on { print > (dir "/" n ".pem") }
        /-----END CERTIFICATE-----/ { on = 0 }' "$1"
    ls "$2" | wc -l
}
sign_name() { openssl x509 -in "$1" -noout "-$2" -nameopt RFC2253 | sed 's/^[a-z]*=//'; }

# sign_check_chain <pem> <reorder>: the signer first, each certificate followed by
# the one that issued it (and signed it), up to a root or to the last intermediate
# (roots come from the verifier's store); the signer valid now, for code signing;
# no certificate that is not of the chain. With reorder (a .pfx, which keeps no
# order), the file is put into that order instead of refused.
sign_check_chain() {
    local dir=$sign_work/certs count i next found ordered=() name=$3
    count=$(sign_split "$1" "$dir")
    [ "$count" -gt 0 ] || sign_die "no certificate in $name"
    local signer=$dir/1.pem
    openssl x509 -in "$signer" -noout -checkend 0 >/dev/null ||
        sign_die "the signing certificate ($(sign_name "$signer" subject)) has expired"
    openssl x509 -in "$signer" -noout -ext extendedKeyUsage 2>/dev/null | grep -q "Code Signing" ||
        sign_die "the first certificate of $name ($(sign_name "$signer" subject)) is not for code signing:" \
            "the signer's certificate must come first, and have the codeSigning extended key usage"
    ! openssl x509 -in "$signer" -noout -ext keyUsage 2>/dev/null | grep -q "Usage" ||
        openssl x509 -in "$signer" -noout -ext keyUsage | grep -q "Digital Signature" ||
        sign_die "the signing certificate's key usage lacks digitalSignature"
    ordered=("$signer")
    i=1
    while [ "$(sign_name "${ordered[-1]}" issuer)" != "$(sign_name "${ordered[-1]}" subject)" ]; do
        found=
        for next in "$dir"/*.pem; do
            [ "$(sign_name "$next" subject)" = "$(sign_name "${ordered[-1]}" issuer)" ] || continue
            openssl verify -partial_chain -no_check_time -CAfile "$next" "${ordered[-1]}" >/dev/null 2>&1 ||
                sign_die "$(sign_name "$next" subject) in $name did not sign $(sign_name "${ordered[-1]}" subject)"
            found=$next
        done
        [ -n "$found" ] || break
        ordered+=("$found")
    done
    [ ${#ordered[@]} -gt 1 ] || [ "$(sign_name "$signer" issuer)" = "$(sign_name "$signer" subject)" ] ||
        sign_die "$name lacks the certificate that issued the signer's ($(sign_name "$signer" issuer)):" \
            "add the CA's intermediate certificate after the signer's"
    [ ${#ordered[@]} = "$count" ] ||
        sign_die "$name holds $count certificates, of which ${#ordered[@]} form the signer's chain"
    if [ -z "$2" ]; then
        for ((i = 0; i < count; i++)); do
            [ "${ordered[i]}" = "$dir/$((i + 1)).pem" ] ||
                sign_die "$name is out of order: the signer first, then each certificate's issuer"
        done
    fi
    cat "${ordered[@]}" >"$sign_work/chain.pem.ordered" && mv "$sign_work/chain.pem.ordered" "$1"
    cp "${ordered[-1]}" "$sign_work/top.pem"
}

sign_setup() {
    sign_work=$1
    if [ -n "${GLANCE_SIGN_PKCS11_KEY:-}" ]; then
        [ -f "${GLANCE_SIGN_PKCS11_MODULE:-}" ] || sign_die "GLANCE_SIGN_PKCS11_MODULE names no PKCS#11 module"
        [ -f "${GLANCE_SIGN_CERT:-}" ] || sign_die "GLANCE_SIGN_CERT names no certificate file for the token's key"
        signing=pkcs11
        sign_engine
        cp "$GLANCE_SIGN_CERT" "$sign_work/chain.pem"
        # The engine loads the same module for openssl and osslsigncode.
        export PKCS11_MODULE_PATH=$GLANCE_SIGN_PKCS11_MODULE
    elif [ -n "${GLANCE_SIGN_CERT:-}" ]; then
        [ -f "$GLANCE_SIGN_CERT" ] || sign_die "GLANCE_SIGN_CERT names no file: $GLANCE_SIGN_CERT"
        signing=pkcs12
        local certs
        for certs in -clcerts -cacerts; do
            sign_pass openssl pkcs12 -in "$GLANCE_SIGN_CERT" -nokeys $certs -passin stdin 2>/dev/null ||
                sign_die "cannot open $GLANCE_SIGN_CERT (wrong GLANCE_SIGN_PASSWORD?)"
        done >"$sign_work/chain.pem"
    else
        return 0
    fi
    sign_chain=$sign_work/chain.pem
    sign_check_chain "$sign_chain" "$([ $signing = pkcs12 ] && echo reorder)" "$GLANCE_SIGN_CERT"
    # The key is the certificate's (a wrong key would sign, and fail only the verifier).
    local key
    if [ $signing = pkcs11 ]; then
        key=$(sign_pass env OPENSSL_CONF="$sign_work/engine.cnf" openssl pkey -engine "$sign_engine_id" \
            -inform engine -in "$GLANCE_SIGN_PKCS11_KEY" "${sign_passin[@]}" -pubout 2>"$sign_work/key.log") ||
            { cat "$sign_work/key.log" >&2; sign_die "cannot reach the key $GLANCE_SIGN_PKCS11_KEY (wrong PIN?)"; }
    else
        key=$(sign_pass openssl pkcs12 -in "$GLANCE_SIGN_CERT" -nocerts -nodes -passin stdin 2>/dev/null |
            openssl pkey -pubout)
    fi
    [ "$key" = "$(openssl x509 -in "$sign_chain" -noout -pubkey)" ] ||
        sign_die "the key is not the signing certificate's ($(sign_name "$sign_chain" subject))"

    # What verifies the finished signatures: the system's roots, the chain's own
    # root if it has one, and GLANCE_SIGN_CAFILE (a private CA's root).
    cat /etc/ssl/certs/ca-certificates.crt 2>/dev/null >"$sign_work/anchors.pem" || true
    local top=$sign_work/top.pem
    [ "$(sign_name "$top" issuer)" != "$(sign_name "$top" subject)" ] || cat "$top" >>"$sign_work/anchors.pem"
    [ -z "${GLANCE_SIGN_CAFILE:-}" ] || cat "$GLANCE_SIGN_CAFILE" >>"$sign_work/anchors.pem" ||
        sign_die "GLANCE_SIGN_CAFILE names no file"

    sign_time=$epoch
    local url
    for url in ${GLANCE_SIGN_TIMESTAMP_URL:-}; do sign_timestamps+=(-ts "$url"); sign_tsa_urls+=("$url"); done
    if [ ${#sign_timestamps[@]} = 0 ]; then
        # Dated the release, but never before the certificate's first day.
        local not_before
        not_before=$(date -d "$(openssl x509 -in "$sign_chain" -noout -startdate | cut -d= -f2)" +%s)
        ((sign_time >= not_before)) || sign_time=$not_before
        sign_warn "no GLANCE_SIGN_TIMESTAMP_URL: the signatures carry no time stamp and" \
            "stop being valid when the signing certificate expires. Do not publish this build."
    fi
}

# sign <file>: Authenticode signature (SHA-256) in place, time-stamped (RFC 3161)
# by the first server of GLANCE_SIGN_TIMESTAMP_URL that answers.
sign() {
    local args=(sign -h sha256 -n "Lumenfold Live Shell Glance Refresher Utility" "${sign_readpass[@]}")
    if [ $signing = pkcs11 ]; then
        args+=(-pkcs11engine "$sign_engine_file" -pkcs11module "$GLANCE_SIGN_PKCS11_MODULE" -certs "$sign_chain"
            -key "$GLANCE_SIGN_PKCS11_KEY")
    else
        args+=(-pkcs12 "$GLANCE_SIGN_CERT")
    fi
    if [ ${#sign_timestamps[@]} -gt 0 ]; then args+=("${sign_timestamps[@]}"); else args+=(-time "$sign_time"); fi
    sign_pass osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >"$sign_work/sign.log" 2>&1 ||
        { cat "$sign_work/sign.log" >&2; rm -f "$1.signed"; sign_die "signing $(basename "$1") failed"; }
    mv "$1.signed" "$1"
}

# sign_detached <file>: <file>.p7s, a detached CMS signature with the same key and
# chain. It signs the file itself, with no signed attributes (no signing time),
# so two signings of the same file are the same bytes (an RSA key's PKCS#1 v1.5
# signatures are deterministic); the time stamp then goes into the unsigned
# attributes, as Authenticode's does.
sign_detached() {
    local key=(-inkey "$GLANCE_SIGN_CERT" -keyform P12) env=()
    [ $signing = pkcs12 ] || { key=(-engine "$sign_engine_id" -keyform engine -inkey "$GLANCE_SIGN_PKCS11_KEY")
        env=(env OPENSSL_CONF="$sign_work/engine.cnf"); }
    # The signer's certificate goes in by itself; the chain's others are added.
    local chain=()
    awk '/BEGIN CERTIFICATE/ { n++ } n > 1' "$sign_chain" >"$sign_work/intermediates.pem"
    [ ! -s "$sign_work/intermediates.pem" ] || chain=(-certfile "$sign_work/intermediates.pem")
    sign_pass "${env[@]}" openssl cms -sign -binary -noattr -md sha256 -in "$1" -signer "$sign_chain" "${chain[@]}" \
        "${key[@]}" "${sign_passin[@]}" -outform DER -out "$1.p7s.new" >"$sign_work/sign.log" 2>&1 ||
        { cat "$sign_work/sign.log" >&2; rm -f "$1.p7s.new"; sign_die "signing $(basename "$1") failed"; }
    if [ ${#sign_tsa_urls[@]} -gt 0 ]; then
        python3 "$repo/packaging/cms_timestamp.py" "$1.p7s.new" "${sign_tsa_urls[@]}" ||
            { rm -f "$1.p7s.new"; sign_die "time-stamping $(basename "$1").p7s failed"; }
    fi
    mv "$1.p7s.new" "$1.p7s"
}

# sign_verify <file>...: each Authenticode signature verifies, by this chain, and
# carries its time stamp when one was asked for; a .p7s verifies against the file
# it signs.
sign_verify() {
    local file
    for file in "$@"; do
        if [[ $file == *.p7s ]]; then
            openssl cms -verify -binary -inform DER -in "$file" -content "${file%.p7s}" -CAfile "$sign_work/anchors.pem" \
                -purpose any -out /dev/null >"$sign_work/verify.log" 2>&1 &&
                { [ ${#sign_tsa_urls[@]} = 0 ] || openssl cms -cmsout -print -inform DER -in "$file" |
                    grep -q "id-smime-aa-timeStampToken"; } ||
                { cat "$sign_work/verify.log" >&2; sign_die "$(basename "$file") does not verify"; }
        else
            osslsigncode verify -CAfile "$sign_work/anchors.pem" -ignore-cdp -in "$file" >"$sign_work/verify.log" 2>&1 &&
                grep -q "^Signer's certificate:" "$sign_work/verify.log" &&
                { [ ${#sign_tsa_urls[@]} = 0 ] || grep -q "Timestamp time:" "$sign_work/verify.log"; } ||
                { cat "$sign_work/verify.log" >&2; sign_die "the signature of $(basename "$file") does not verify"; }
        fi
    done
}
