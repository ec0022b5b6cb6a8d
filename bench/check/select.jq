# The patches a check offers, selected with jq from the same catalogue:
# release installed, platform Linux or all, not installed by title (ignoring
# case) or QFE_ID, and naming an installed product of that release.
($inst[0].titles | map({key: ascii_downcase, value: true}) | from_entries) as $titles
| ($inst[0].ids | map({key: ., value: true}) | from_entries) as $ids
| $inst[0].products as $products
| [ .Product[] | .version as $v
    | select($inst[0].versions | index($v))
    | .patches[]
    | select((.Platform // "" | ascii_downcase) | (contains("linux") or contains("all")))
    | select(($titles[.Name // "" | ascii_downcase] | not) and ($ids[.QFE_ID // ""] | not))
    | (.Products // "" | ascii_downcase) as $text
    | select(any($products[]; .version == $v and any(.names[]; . as $n | $text | contains($n | ascii_downcase))))
    | .Name ]
| length
