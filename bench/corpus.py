"""Deterministic memory-like corpus and queries with known targets.

Every record states one fact an agent might keep about its user's world:
a preference, a deploy change, a decision, a flight, an invoice, a bug
workaround. Each fact template comes with paraphrased questions about it;
a question names the fact's key entities (person, project, vendor...) in
other words than the record, but never its answer. The key entities of a
template are unique per namespace across the corpus, so each question has
exactly one right record and recall@k can be computed.

Everything is drawn from one seeded random generator: the same seed and
size give the same records and questions on every machine and Python.
"""

from __future__ import annotations

import random
from dataclasses import dataclass, field

SEED = 20261210

NAMESPACES = ("default", "work", "personal", "research")
NAMESPACE_WEIGHTS = (0.50, 0.25, 0.15, 0.10)

MIN_LEN = 80
MAX_LEN = 400

FIRST_NAMES = """
Ada Alan Alice Amara Amir Ana Andre Anika Arjun Aya Beatriz Ben Bianca Bruno
Carla Carlos Chen Chloe Clara Dana Daniel Diego Dmitri Elena Eli Emil Emma Erik
Eva Farah Felix Fiona Gabriel Greta Hana Hannah Hugo Ian Ines Isaac Ivan Jade
Jana Javier Jin Jonas Julia Kai Kamal Karin Kenji Kira Lars Laura Leila Leo
Lena Liam Lina Lucas Luis Maya Marco Marta Mateo Mia Mika Milan Nadia Nina Noah
Nora Olga Omar Oscar Paula Pedro Petra Priya Quinn Rafael Rania Ravi Rosa Ruben
Sara Sami Sofia Sven Tara Theo Tomas Uma Vera Victor Wen Yara Yusuf Zara Zoe
""".split()

CITIES = """
Amsterdam Athens Austin Barcelona Berlin Bogota Boston Brussels Budapest Cairo
Chicago Copenhagen Denver Dublin Edinburgh Geneva Hamburg Helsinki Istanbul
Jakarta Kyoto Lagos Lima Lisbon London Lyon Madrid Manila Melbourne Milan
Montreal Mumbai Munich Nairobi Naples Oslo Paris Porto Prague Quito Riga Rome
Santiago Seattle Seoul Seville Singapore Stockholm Sydney Taipei Tallinn Tokyo
Toronto Valencia Vienna Vilnius Warsaw Zagreb Zurich
""".split()

TOOLS = """
Jenkins Buildkite CircleCI Drone Tekton ArgoCD Spinnaker Bamboo TeamCity
Concourse Harness Woodpecker GitLab Travis Semaphore Codefresh Flux Nomad
""".split()

DRINKS = """
oolong espresso matcha chai rooibos cortado kombucha yerba-mate decaf
cold-brew earl-grey chamomile genmaicha hibiscus lemonade flat-white
""".split()

ALLERGENS = """
peanuts shellfish penicillin latex pollen sesame walnuts kiwi gluten dust-mites
bee-stings mustard celery soy lupin cashews
""".split()

PLACES = """
backpack glovebox desk drawer kitchen cabinet gym bag coat pocket bedside table
travel pouch office locker
""".split(" ")

METHODS = """
contrastive distillation sparse-attention retrieval-augmented curriculum
low-rank-adapter mixture-of-experts self-training graph-propagation
quantised diffusion state-space
""".split()

DATASETS = """
ArxivQA BioASQ CodeSearch FEVER HotpotQA MSMARCO NaturalQuestions SciFact
TREC-COVID TriviaQA WikiTables FiQA NFCorpus Touche SQuAD
""".split()

METRICS = ["nDCG@10", "MRR", "exact match", "F1", "recall@100", "accuracy"]

REASONS = [
    "the payment provider certification is late",
    "legal still reviews the data processing terms",
    "the load tests showed a memory leak",
    "two key engineers are on leave",
    "the design review asked for a new onboarding flow",
    "the vendor contract renewal is pending",
    "customer interviews pointed to a missing export feature",
    "the security audit found an open redirect",
]

COMPONENTS = """
scheduler exporter importer uploader renderer indexer parser billing-worker
sync-agent webhook-relay search-api thumbnailer notifier auth-proxy
""".split()

CONDITIONS = [
    "the input file is larger than two gigabytes",
    "two users edit the same row at once",
    "the locale is set to Turkish",
    "the cache directory is on a network share",
    "a timezone change happens during a run",
    "the retry queue is empty",
    "an attachment name contains emoji",
    "the config has a trailing comma",
]

WORKAROUNDS = [
    "restart the worker with the legacy flag",
    "split the batch into smaller chunks",
    "pin the client library to the previous minor release",
    "clear the local cache before each run",
    "disable parallel uploads in the settings page",
    "run the nightly job by hand after midnight",
]

ACTIVITIES = """
piano violin swimming judo chess ballet climbing fencing pottery guitar tennis
robotics drawing
""".split()

DISHES = """
lasagna banana-bread shakshuka risotto ramen paella apple-pie dal curry
focaccia tiramisu gazpacho brownies
""".split()

INGREDIENTS = """
buttermilk oat-milk honey brown-butter smoked-paprika miso tahini coconut-cream
spelt-flour maple-syrup yogurt lime-zest
""".split()

WEEKDAYS = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday"]
MONTHS = ["January", "February", "March", "April", "May", "June", "July",
          "August", "September", "October", "November", "December"]

TOPIC_TAGS = ["work", "personal", "followup", "urgent", "reference", "todo",
              "q3", "planning", "family", "health", "finance", "travel"]

SYLLABLES = [c + v for c in "bdfgklmnprstvz" for v in "aeiou"] + ["quil", "thor", "bran", "vel", "mor"]


def _word(rng: random.Random, parts: int) -> str:
    return "".join(rng.choice(SYLLABLES) for _ in range(parts)).capitalize()


class _Vocab:
    """Name pools drawn once from the seed."""

    def __init__(self, rng: random.Random):
        self.surnames = sorted({_word(rng, 3) for _ in range(80)})
        self.projects = sorted({_word(rng, 2) + rng.choice(["", "stone", "light", "bridge", "field", "works"])
                                for _ in range(600)})
        self.vendors = sorted({_word(rng, 2) + " " + rng.choice(["Labs", "Systems", "Supply", "Partners", "Cloud"])
                               for _ in range(2000)})
        self.children = sorted({_word(rng, 2) for _ in range(600)})

    def person(self, rng: random.Random) -> str:
        return rng.choice(FIRST_NAMES) + " " + rng.choice(self.surnames)


def _date(rng: random.Random) -> str:
    return f"{rng.choice(MONTHS)} {rng.randint(1, 28)}"


def _time(rng: random.Random) -> str:
    return f"{rng.randint(7, 20):02d}:{rng.choice(['00', '15', '30', '45'])}"


def _code(rng: random.Random, n: int = 6) -> str:
    return "".join(rng.choice("ABCDEFGHJKLMNPQRSTUVWXYZ23456789") for _ in range(n))


@dataclass(frozen=True)
class Template:
    topic: str
    key: tuple          # slots that every question names; unique per namespace
    text: str
    questions: tuple    # paraphrases that name the key slots only


TEMPLATES = (
    Template("preference", ("person",),
             "{person} prefers {drink} in the morning and avoids {drink2} after lunch.",
             ("what does {person} like to drink early in the day",
              "{person} favourite beverage before noon")),
    Template("deploy", ("project", "tool2"),
             "The {project} deploy pipeline moved from {tool2} to {tool} after the outage on {date}.",
             ("which CI system ships {project} releases since it left {tool2}",
              "{project} deployments no longer run on {tool2}, what replaced it")),
    Template("decision", ("person", "project"),
             "Decided with {person} to postpone the {project} launch to {date} because {reason}.",
             ("new release date for {project} agreed with {person}",
              "when will {project} go live after {person} asked to delay it")),
    Template("travel", ("person", "city"),
             "{person}'s flight to {city} leaves on {date} at {time}; booking reference {code}.",
             ("departure time of {person} trip to {city}",
              "booking code for {person} travelling to {city}")),
    Template("health", ("person",),
             "{person} is allergic to {allergen} and keeps an antihistamine in the {place}.",
             ("which allergy does {person} have",
              "what must {person} never be exposed to")),
    Template("research", ("person", "method"),
             "The {method} paper by {person} reports {metric} of {number} on the {dataset} benchmark.",
             ("how well did the {method} approach from {person} score",
              "{person} {method} study result")),
    Template("finance", ("vendor",),
             "Invoice {code} from {vendor} for {amount} is due on {date}; pay it from the operations account.",
             ("when do we have to pay the {vendor} bill",
              "outstanding amount owed to {vendor}")),
    Template("contact", ("person",),
             "{person} changed phone number to {phone} and prefers calls after {time}.",
             ("how can I reach {person} by telephone",
              "current mobile of {person}")),
    Template("meeting", ("person", "project"),
             "Weekly sync with {person} about {project} moved to {weekday} at {time} in room {room}.",
             ("when is the recurring {project} catch-up with {person}",
              "schedule of the {project} status call with {person}")),
    Template("incident", ("project", "component"),
             "Bug {ticket} in {project}: the {component} crashes when {condition}; workaround is to {workaround}.",
             ("how do we get around the {component} failure in {project}",
              "{project} {component} keeps falling over, any known fix")),
    Template("family", ("person", "child"),
             "{person}'s daughter {child} starts {activity} lessons on {weekday} afternoons at the community centre.",
             ("what class is {child}, the kid of {person}, enrolled in",
              "{child} ({person}'s daughter) after-school activity")),
    Template("cooking", ("person", "dish"),
             "{person}'s {dish} recipe uses {ingredient} instead of {ingredient2} and bakes for {minutes} minutes.",
             ("what does {person} substitute in the {dish}",
              "secret ingredient of {person} {dish}")),
)

FILLERS = (
    "Mentioned in the {weekday} standup.",
    "Follow up with {person2} if this changes.",
    "Noted from a chat on {date2}.",
    "Low priority unless the deadline slips.",
    "Double-check before the quarterly review.",
    "Came up while planning the {project2} roadmap.",
    "{person2} confirmed it by email.",
    "Keep this in mind for the next planning session.",
    "Source is a voice note, so the details may be slightly off.",
    "Worth repeating to the team at the next retro.",
    "Nothing else changed for now.",
    "Ask again in a month to see whether it still holds.",
)


def _slots(rng: random.Random, vocab: _Vocab) -> dict:
    tool, tool2 = rng.sample(TOOLS, 2)
    drink, drink2 = rng.sample(DRINKS, 2)
    ing, ing2 = rng.sample(INGREDIENTS, 2)
    return {
        "person": vocab.person(rng), "person2": vocab.person(rng),
        "project": rng.choice(vocab.projects), "project2": rng.choice(vocab.projects),
        "tool": tool, "tool2": tool2, "drink": drink, "drink2": drink2,
        "date": _date(rng), "date2": _date(rng), "time": _time(rng),
        "reason": rng.choice(REASONS), "city": rng.choice(CITIES), "code": _code(rng),
        "allergen": rng.choice(ALLERGENS), "place": rng.choice(PLACES),
        "method": rng.choice(METHODS), "dataset": rng.choice(DATASETS),
        "metric": rng.choice(METRICS), "number": f"{rng.uniform(20, 95):.1f}",
        "vendor": rng.choice(vocab.vendors), "amount": f"{rng.randint(120, 98000):,} EUR",
        "phone": f"+{rng.randint(30, 49)} {rng.randint(100, 999)} {rng.randint(1000, 9999)} {rng.randint(100, 999)}",
        "weekday": rng.choice(WEEKDAYS), "room": f"{rng.randint(1, 6)}.{rng.randint(1, 40):02d}",
        "ticket": f"#{rng.randint(1000, 99999)}", "component": rng.choice(COMPONENTS),
        "condition": rng.choice(CONDITIONS), "workaround": rng.choice(WORKAROUNDS),
        "child": rng.choice(vocab.children), "activity": rng.choice(ACTIVITIES),
        "dish": rng.choice(DISHES), "ingredient": ing, "ingredient2": ing2,
        "minutes": str(rng.randint(12, 90)),
    }


def _filler_slots(rng: random.Random, vocab: _Vocab) -> dict:
    return {"person2": vocab.person(rng), "project2": rng.choice(vocab.projects),
            "date2": _date(rng), "weekday": rng.choice(WEEKDAYS)}


@dataclass
class Record:
    index: int
    id: str                 # the corpus's own id, used as the peers' record id
    content: str
    namespace: str
    tags: list
    metadata: dict
    topic: str
    questions: tuple = field(repr=False)


@dataclass(frozen=True)
class Query:
    text: str
    namespace: str
    target: int             # index of the one record that answers it


def _fill(rng: random.Random, vocab: _Vocab, base: str) -> str:
    # Lengths follow a triangular spread over 80..400 characters with the
    # mode at 150, so the mean stays near 200 characters.
    target = int(rng.triangular(MIN_LEN, MAX_LEN, 150))
    text = base
    order = list(FILLERS)
    rng.shuffle(order)
    for f in order:
        if len(text) >= target:
            break
        extra = f.format(**_filler_slots(rng, vocab)) if "{" in f else f
        if len(text) + 1 + len(extra) <= MAX_LEN and (len(text) + 1 + len(extra) <= target or len(text) < MIN_LEN):
            text += " " + extra
    while len(text) < MIN_LEN:
        text += " Noted."
    return text[:MAX_LEN]


def make_corpus(n: int, seed: int = SEED) -> list[Record]:
    """n records; the same (n, seed) always gives the same list."""
    rng = random.Random(seed)
    vocab = _Vocab(random.Random(seed ^ 0x5EED))
    used: set = set()
    out: list[Record] = []
    while len(out) < n:
        tpl = rng.choice(TEMPLATES)
        ns = rng.choices(NAMESPACES, NAMESPACE_WEIGHTS)[0]
        slots = _slots(rng, vocab)
        key = (ns, tpl.topic) + tuple(slots[k] for k in tpl.key)
        if key in used:
            continue
        used.add(key)
        i = len(out)
        content = _fill(rng, vocab, tpl.text.format(**slots))
        tags = [tpl.topic] + sorted(set(rng.sample(TOPIC_TAGS, rng.randint(0, 2))) - {tpl.topic})
        metadata = {"topic": tpl.topic, "author": f"agent-{rng.randint(1, 8)}",
                    "conversation": f"c{i // 20:06d}"}
        questions = tuple(q.format(**slots) for q in tpl.questions)
        out.append(Record(i, f"m{i:07d}", content, ns, tags, metadata, tpl.topic, questions))
    return out


def make_query_sets(corpus: list[Record], sizes: list[int], seed: int = SEED) -> list[list[Query]]:
    """Disjoint query sets of the given sizes: no two queries share a target
    or a text, so a recall cache never answers one set from another."""
    rng = random.Random(seed + 1)
    total = sum(sizes)
    if total > len(corpus):
        raise ValueError(f"{total} queries need at least {total} records")
    targets = rng.sample(range(len(corpus)), len(corpus))
    seen: set = set()
    flat: list[Query] = []
    for t in targets:
        if len(flat) == total:
            break
        rec = corpus[t]
        text = rng.choice(rec.questions)
        if text.lower() in seen:
            continue
        seen.add(text.lower())
        flat.append(Query(text, rec.namespace, t))
    sets, start = [], 0
    for s in sizes:
        sets.append(flat[start:start + s])
        start += s
    return sets


def describe(corpus: list[Record]) -> dict:
    lengths = [len(r.content) for r in corpus]
    per_ns = {ns: 0 for ns in NAMESPACES}
    for r in corpus:
        per_ns[r.namespace] += 1
    return {
        "records": len(corpus),
        "mean_chars": sum(lengths) / max(1, len(lengths)),
        "min_chars": min(lengths, default=0),
        "max_chars": max(lengths, default=0),
        "namespaces": per_ns,
        "topics": len(TEMPLATES),
    }


if __name__ == "__main__":
    import sys
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    c = make_corpus(n)
    for r in c[:min(n, 20)]:
        print(f"[{r.namespace}] {r.tags} {r.content}")
        print(f"    Q: {r.questions[0]}")
    print(describe(c))
