#!/usr/bin/env bash
# An SROS2 keystore for the converter and its neighbours, for ROS_DOMAIN_ID as set now (0 when
# unset): sros2 writes the domain into the governance and every permissions file.
# Usage: make_keystore.sh KEYSTORE [--policy FILE]... [--enclave PATH]... [--sign "EXPR..."]
#   --policy FILE   the enclaves of FILE with its permissions (the node's:
#                   share/tavrinox_camera_convertor/policies/camera_convertor.policy.xml)
#   --enclave PATH  an enclave with sros2's default permissions (everything on the domain), for
#                   tools and test rigs
#   --sign "EXPR"   DDS topic expressions (e.g. "rt/tavrinox_camera_convertor/*") whose
#                   submessages the governance signs (metadata SIGN, which covers the data they
#                   carry) instead of encrypting payload and submessage; the rest stays as sros2
#                   makes it (doc/secured.md)
# Fails with the step that failed; an existing keystore gets the enclaves added.
set -Eeuo pipefail

[ $# -ge 1 ] || { echo "usage: $0 KEYSTORE [--policy FILE]... [--enclave PATH]... [--sign EXPR]" >&2; exit 2; }
KEYSTORE="$1"
shift
POLICIES=()
ENCLAVES=()
SIGN=""
while [ $# -gt 0 ]; do
  case "$1" in
    --policy) POLICIES+=("$(realpath "$2")"); shift 2 ;;
    --enclave) ENCLAVES+=("$2"); shift 2 ;;
    --sign) SIGN="$2"; shift 2 ;;
    *) echo "unknown option $1 (see the usage at the top of $0)" >&2; exit 2 ;;
  esac
done

arguments=(-k "${KEYSTORE}")
[ "${#ENCLAVES[@]}" -eq 0 ] || arguments+=(-e "${ENCLAVES[@]}")
[ "${#POLICIES[@]}" -eq 0 ] || arguments+=(-p "${POLICIES[@]}")
ros2 security generate_artifacts "${arguments[@]}" > /dev/null

if [ -n "${SIGN}" ]; then
  governance="${KEYSTORE}/enclaves/governance.xml"
  # A rule per expression before sros2's rule for every topic: the first rule that matches a
  # topic is the one that applies.
  read -ra expressions <<< "${SIGN}"
  python3 - "${governance}" "${expressions[@]}" <<'PYTHON'
import copy
import sys
import xml.etree.ElementTree as ElementTree

path, expressions = sys.argv[1], sys.argv[2:]
tree = ElementTree.parse(path)
rules = tree.find('domain_access_rules/domain_rule/topic_access_rules')
every_topic = rules.find('topic_rule')
for index, expression in enumerate(expressions):
    rule = copy.deepcopy(every_topic)
    rule.find('topic_expression').text = expression
    rule.find('metadata_protection_kind').text = 'SIGN'
    rule.find('data_protection_kind').text = 'NONE'
    rules.insert(index, rule)
tree.write(path, encoding='UTF-8', xml_declaration=True)
PYTHON
  # Signed by the permissions authority, as sros2 signs it.
  openssl smime -sign -text -in "${governance}" -out "${KEYSTORE}/enclaves/governance.p7s" \
    -signer "${KEYSTORE}/public/permissions_ca.cert.pem" \
    -inkey "${KEYSTORE}/private/permissions_ca.key.pem"
fi
echo "keystore ${KEYSTORE} for ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-0}: enclaves $(
  cd "${KEYSTORE}/enclaves" && find . -name key.pem -printf '/%h ' | sed 's#/\./#/#g')"
