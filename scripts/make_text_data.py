#!/usr/bin/env python3
"""The text demo's data: Debian's package descriptions, labelled by section.

Fetches the package indexes with their English descriptions
(apt-get update -o Acquire::Languages=en, as root; --no-update reads the
lists as they are), joins each binary package's Section (from the Packages
indexes; a component prefix such as "contrib/" is dropped) to its
Description-en (from Translation-en, by package name and Description-md5),
keeps each package once and each distinct description once (in the section
most of the packages sharing it are in), keeps the ten largest sections,
and turns every description (its short line and its long text) into tf-idf
features of words and word pairs. The documents are split at random,
stratified by section, into a training and a held-out part; the vocabulary
and the inverse document frequencies are learnt from the training part
alone, so the held-out descriptions are features the training part knows.

Writes into --out (default build/text):
  train.libsvm, test.libsvm   "label index:value ..." lines in LIBSVM's
                              format: label = section number 1..10 (largest
                              section first), indices 1-based and ascending,
                              values %.9g; rows l2-normalised; the documents
                              in a random order (the split's)
  sections.txt                the section names, one a line, in label order
  features.txt                the number of features (the vocabulary's size)
  packages.tsv                label, split and package name of each document
                              (the first, by name, of those sharing it), in
                              the files' order
and prints the documents per section, the feature count and the non-zeros
per document.
"""
import argparse
import collections
import os
import subprocess
import sys

import numpy as np
from sklearn.feature_extraction.text import TfidfVectorizer
from sklearn.model_selection import train_test_split

APT_EN = ["-o", "Acquire::Languages=en"]
CAT_FILE = "/usr/lib/apt/apt-helper"


def update_lists():
    """Fetches the Packages and Translation-en indexes into apt's lists."""
    command = ["apt-get", "update", "-q"] + APT_EN
    if os.geteuid() != 0:
        command.insert(0, "sudo")
    print("make_text_data:", " ".join(command), flush=True)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def index_files():
    """The Packages and Translation-en files apt has, in its sources' order."""
    fields = "$(IDENTIFIER)\t$(LANGUAGE)\t$(FILENAME)"
    listed = subprocess.run(["apt-get", "indextargets"] + APT_EN + ["--format", fields],
                            check=True, capture_output=True, text=True).stdout
    packages, translations = [], []
    for line in listed.splitlines():
        identifier, language, path = line.split("\t")
        if not os.path.exists(path):
            continue
        if identifier == "Packages":
            packages.append(path)
        elif identifier == "Translations" and language == "en":
            translations.append(path)
    if not packages or not translations:
        sys.exit("make_text_data: apt has no Packages or no Translation-en index; run "
                 "'apt-get update -o Acquire::Languages=en' as root (or this script without "
                 "--no-update)")
    return packages, translations


def stanzas(path):
    """The fields of each stanza of a deb822 index, compressed or not (apt-helper
    cat-file decompresses whatever apt stored: plain, .lz4, .gz, .xz)."""
    text = subprocess.run([CAT_FILE, "cat-file", path], check=True, capture_output=True,
                          text=True, errors="replace").stdout
    for block in text.split("\n\n"):
        fields, name = {}, None
        for line in block.split("\n"):
            if not line:
                continue
            if line[0] in " \t" and name is not None:
                fields[name] += "\n" + line
            else:
                name, _, value = line.partition(":")
                fields[name] = value.strip()
        if fields:
            yield fields


def description_text(value):
    """A Description-en field as plain text: the short line, then the long
    text without its " ." paragraph marks."""
    lines = value.split("\n")
    body = [line.strip() for line in lines[1:] if line.strip() != "."]
    return " ".join([lines[0].strip()] + body)


def read_documents():
    """(package, section, description) of each package, once: the first index
    in apt's order that lists it (the release before its updates), with the
    description its Description-md5 names."""
    packages, translations = index_files()
    texts = {}
    for path in translations:
        for fields in stanzas(path):
            if "Description-en" in fields:
                texts[(fields["Package"], fields.get("Description-md5", ""))] = \
                    description_text(fields["Description-en"])
    documents, seen, untranslated = [], set(), 0
    for path in packages:
        for fields in stanzas(path):
            name = fields.get("Package")
            if name is None or name in seen or "Section" not in fields:
                continue
            seen.add(name)
            text = texts.get((name, fields.get("Description-md5", "")))
            if text is None:
                untranslated += 1
                continue
            documents.append((name, fields["Section"].split("/")[-1], text))
    print(f"make_text_data: {len(documents)} packages with an English description "
          f"({untranslated} without one), {len(packages)} Packages and {len(translations)} "
          f"Translation-en indexes")
    return sorted(documents)


def distinct_descriptions(documents):
    """One document per distinct description, so that no description is in
    both parts of the split (a cross-compiler's packages, for one, share the
    native package's text). It goes to the section most of its packages are
    in; on a tie, that of the package whose name sorts first."""
    shared = collections.defaultdict(list)
    for name, section, text in documents:
        shared[text].append((name, section))
    kept = []
    for text, owners in shared.items():
        # The owners come in name order, and most_common keeps the order
        # first met among equal counts.
        section = collections.Counter(section for _, section in owners).most_common(1)[0][0]
        kept.append((owners[0][0], section, text))
    print(f"make_text_data: {len(kept)} distinct descriptions "
          f"({len(documents) - len(kept)} packages share another's)")
    return sorted(kept)


def write_libsvm(path, X, labels):
    """Rows of a CSR matrix as LIBSVM lines, 1-based ascending indices."""
    X = X.tocsr()
    X.sort_indices()
    with open(path, "w") as f:
        for row, label in enumerate(labels):
            part = slice(X.indptr[row], X.indptr[row + 1])
            pairs = " ".join(f"{i + 1}:{v:.9g}" for i, v in zip(X.indices[part], X.data[part]))
            f.write(f"{label} {pairs}\n" if pairs else f"{label}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="build/text")
    parser.add_argument("--no-update", action="store_true",
                        help="read apt's lists as they are, without apt-get update")
    parser.add_argument("--sections", type=int, default=10, help="the largest this many")
    parser.add_argument("--test-share", type=float, default=0.2)
    parser.add_argument("--seed", type=int, default=1, help="of the split")
    args = parser.parse_args()

    if not args.no_update:
        update_lists()
    documents = distinct_descriptions(read_documents())
    sizes = collections.Counter(section for _, section, _ in documents)
    # Largest first; a tie goes to the name that sorts first.
    ranked = sorted(sizes, key=lambda s: (-sizes[s], s))
    kept = ranked[:args.sections]
    print("make_text_data: the largest sections: " +
          ", ".join(f"{s} {sizes[s]}" for s in ranked[:args.sections + 3]) + ", ...")
    label_of = {section: k + 1 for k, section in enumerate(kept)}
    documents = [d for d in documents if d[1] in label_of]
    names = [d[0] for d in documents]
    labels = np.array([label_of[d[1]] for d in documents])
    texts = [d[2] for d in documents]

    train, test = train_test_split(np.arange(len(documents)), test_size=args.test_share,
                                   random_state=args.seed, stratify=labels)
    # The files keep the split's random order, so that their first lines
    # are a sample of the whole (the documents themselves come in name order).
    vectorizer = TfidfVectorizer(ngram_range=(1, 2), min_df=2, sublinear_tf=True,
                                 dtype=np.float64)
    Xtrain = vectorizer.fit_transform([texts[i] for i in train])
    Xtest = vectorizer.transform([texts[i] for i in test])
    features = Xtrain.shape[1]

    os.makedirs(args.out, exist_ok=True)
    write_libsvm(os.path.join(args.out, "train.libsvm"), Xtrain, labels[train])
    write_libsvm(os.path.join(args.out, "test.libsvm"), Xtest, labels[test])
    with open(os.path.join(args.out, "sections.txt"), "w") as f:
        f.write("".join(section + "\n" for section in kept))
    with open(os.path.join(args.out, "packages.tsv"), "w") as f:
        for part, rows in (("train", train), ("test", test)):
            f.write("".join(f"{labels[i]}\t{part}\t{names[i]}\n" for i in rows))
    # Last: the Makefile takes features.txt for a finished build.
    with open(os.path.join(args.out, "features.txt"), "w") as f:
        f.write(f"{features}\n")

    print(f"\n{'label':>5}  {'section':<10} {'documents':>9} {'training':>9} {'held-out':>9}")
    for section in kept:
        k = label_of[section]
        print(f"{k:>5}  {section:<10} {int(np.sum(labels == k)):>9} "
              f"{int(np.sum(labels[train] == k)):>9} {int(np.sum(labels[test] == k)):>9}")
    print(f"{'':>5}  {'all':<10} {len(labels):>9} {len(train):>9} {len(test):>9}")
    print(f"\n{features} features (words and word pairs in 2 or more training documents); "
          f"non-zeros per document: {Xtrain.nnz / len(train):.1f} training, "
          f"{Xtest.nnz / len(test):.1f} held-out "
          f"({int(np.sum(np.diff(Xtest.indptr) == 0))} held-out documents without a known word)")
    print(f"written to {args.out}/: train.libsvm, test.libsvm, sections.txt, features.txt, "
          f"packages.tsv")


if __name__ == "__main__":
    main()
