"""The portable zip's README.txt says nothing that README.md does not: each of
its paragraphs (all but the title and the capitalised headings) stands word
for word in README.md, markup and line breaks aside, @VERSION@ as a version.
    python3 readme_facts.py <README.md> <README.txt>"""
import re
import sys


def words(text):
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)  # [text](link)
    return " ".join(text.replace("**", "").replace("`", "").split())


markdown = words(open(sys.argv[1], encoding="utf-8").read())
blocks = re.split(r"\n\s*\n", open(sys.argv[2], encoding="utf-8").read().strip())
missing = [b for b in blocks[1:] if not b.isupper() and not re.search(
    re.escape(words(b)).replace("@VERSION@", r"[0-9]+\.[0-9]{2}"), markdown)]
for block in missing:
    print(f"README.txt says what README.md does not:\n{block}\n")
sys.exit(1 if missing else 0)
